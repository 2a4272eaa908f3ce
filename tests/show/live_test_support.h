// What the live tests share: the built plug-in, the demo's bank and event builders.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "hosting/plugin_loader.h"
#include "show/live_events.h"

namespace show_test {

inline hosting::PluginLibrary& Plugin() {
    static std::unique_ptr<hosting::PluginLibrary> plugin = [] {
        setenv("ASKGAME_ACP", "65001", 0); // the demo's bank is UTF-8
        std::string error;
        auto opened = hosting::PluginLibrary::Open(
            std::string(ASKGAME_RUNTIME_DIR) + "/libaskgame.so", error);
        if (!opened) ADD_FAILURE() << error;
        return opened;
    }();
    return *plugin;
}

inline std::string DemoBank() {
    return std::string(ASKGAME_SOURCE_DIR) + "/data/scenarios/demo-bank.txt";
}

inline hosting::ScenarioEvent Panel(const std::string& body) {
    auto parsed = show::ParsePanelAction(body, "");
    EXPECT_TRUE(parsed.event) << parsed.error;
    return parsed.event.value_or(hosting::ScenarioEvent{});
}

inline hosting::ScenarioEvent Chat(std::uint32_t id, const std::string& name,
                                   const std::string& text) {
    nlohmann::json body{{"id", id}, {"name", name}, {"text", text}};
    return show::ParseChat(body.dump()).event.value();
}

inline hosting::ScenarioEvent Gift(std::uint32_t id, const std::string& name, int count,
                                   int value) {
    nlohmann::json body{{"id", id}, {"name", name}, {"count", count}, {"value", value}};
    return show::ParseGift(body.dump()).event.value();
}

} // namespace show_test
