// Scenario text: either a scenario whose values are all in range and whose events are in frame
// order, or an error that names the file; never both, never neither.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "hosting/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const hosting::ScenarioResult result = hosting::ParseScenario(text, "fuzz.json", "/base");
    FUZZ_CHECK(result.scenario.has_value() == result.error.empty());
    if (!result.scenario) {
        FUZZ_CHECK(result.error.rfind("fuzz.json", 0) == 0);
        return 0;
    }
    const hosting::Scenario& scenario = *result.scenario;
    FUZZ_CHECK(hosting::ValidFrameSize(scenario.width, scenario.height));
    FUZZ_CHECK(hosting::ValidFps(scenario.fps));
    FUZZ_CHECK(scenario.duration > 0);
    long previous = 0;
    for (const hosting::ScenarioEvent& event : scenario.events) {
        FUZZ_CHECK(event.at >= 0 && event.frame >= previous);
        previous = event.frame;
        if (event.kind == hosting::ActionKind::Still)
            FUZZ_CHECK(!event.path.empty() && event.path.find('/') == std::string::npos);
    }
    return 0;
}
