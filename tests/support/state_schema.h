// Checks a live host's GET /api/state answer against docs/state.schema.json, the one document
// every live host answers. Needs ASKGAME_SOURCE_DIR and Debian's python3-jsonschema.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace test_support {

// Every way `state` (a JSON text) departs from the schema, one a line; empty when it conforms.
inline std::string StateSchemaFaults(const std::string& state) {
    char path[] = "/tmp/askgame-state-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return "cannot make a temporary file";
    close(fd);
    std::ofstream(path, std::ios::binary) << state;
    const std::string source = ASKGAME_SOURCE_DIR;
    const std::string command = "/usr/bin/python3 " + source + "/tests/support/check_schema.py " +
                                source + "/docs/state.schema.json " + path + " 2>&1";
    std::string faults;
    if (FILE* out = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, out))
            faults += buffer;
        if (pclose(out) != 0 && faults.empty()) faults = "the schema check failed to run";
    } else {
        faults = "cannot run " + command;
    }
    std::remove(path);
    return faults;
}

} // namespace test_support
