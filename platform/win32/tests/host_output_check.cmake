# Checks what the Windows test host wrote for the challenge demo at 320x180: every frame as a
# PNG of that size, each still the scenario asks for, and the transcript's final scores.
# Run as: cmake -DOUT=FOLDER -P host_output_check.cmake
function(fail why)
    message(FATAL_ERROR "${OUT}: ${why}")
endfunction()

file(GLOB frames ${OUT}/frame-*.png)
list(LENGTH frames count)
if(NOT count EQUAL 513)
    fail("${count} frames written, expected 513")
endif()
foreach(still players first-right-answer leader every-player-scored new-round new-round-answer)
    if(NOT EXISTS ${OUT}/${still}.png)
        fail("no still ${still}.png")
    endif()
endforeach()
# A PNG's IHDR holds width and height, big-endian, from byte 16.
foreach(png ${OUT}/frame-000513.png ${OUT}/leader.png)
    file(READ ${png} header OFFSET 0 LIMIT 24 HEX)
    if(NOT header MATCHES "^89504e470d0a1a0a0000000d4948445200000140000000b4$")
        fail("${png} is not a 320x180 PNG (${header})")
    endif()
endforeach()
file(READ ${OUT}/demo-challenge.transcript.txt transcript)
foreach(line "score  1. Lucas ...\\(1005\\): 2 points" "score  2. 王小明\\(1001\\): 1 point"
             "score  3. 阿杰不熬夜\\(1004\\): 1 point")
    if(NOT transcript MATCHES "${line}")
        fail("the transcript lacks \"${line}\"")
    endif()
endforeach()
