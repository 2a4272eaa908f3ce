#include "adapters/frei0r/scenario_show.h"

#include <cstdio>
#include <utility>

#include "adapters/frei0r/live_link.h"

namespace frei0r_adapter {

ScenarioShow::ScenarioShow(hosting::Scenario scenario, int width, int height, LCID lcid)
    : scenario_(std::move(scenario)), width_(width), height_(height), lcid_(lcid) {}

std::unique_ptr<ScenarioShow> ScenarioShow::Create(hosting::PluginLibrary& plugin,
                                                   hosting::Scenario scenario, int width,
                                                   int height, LCID lcid, std::string& error) {
    std::unique_ptr<ScenarioShow> show(new ScenarioShow(std::move(scenario), width, height, lcid));
    show->game_ = hosting::HostedGame::Create(plugin, show->scenario_.mode, width, height, lcid,
                                              show->transcript_, error);
    if (!show->game_) return nullptr;
    return show;
}

ScenarioShow::~ScenarioShow() {
    if (!game_) return;
    game_->Finish();
    // The plug-in's faults towards its host (a message never given back ...) are worth a line.
    if (transcript_.HostErrorCount() > 0)
        for (const std::string& fault : transcript_.Texts("ERROR"))
            std::fprintf(stderr, "askgame: the plug-in broke a host rule: %s\n", fault.c_str());
}

void ScenarioShow::PlayEventsUntil(long index, LiveLink* live) {
    const auto& events = scenario_.events;
    for (; !stopped_ && nextEvent_ < events.size() && events[nextEvent_].frame <= index;
         ++nextEvent_) {
        const hosting::ScenarioEvent& event = events[nextEvent_];
        if (event.kind == hosting::ActionKind::Note) {
            transcript_.Add("note", event.path);
            continue;
        }
        if (live && event.kind == hosting::ActionKind::Gift) live->CountGift(event);
        std::string error;
        if (!game_->Apply(event, error)) {
            transcript_.Add("FAILED", error);
            failure_ = "at " + std::to_string(event.at) + " s: " + error;
            stopped_ = true;
        }
    }
}

void ScenarioShow::Draw(long index, BYTE* pixels, LiveLink* live) {
    transcript_.SetClock(index, scenario_.fps);
    PlayEventsUntil(index, live);
    if (live) live->Deliver(*game_);
    game_->ProcessTopDown(pixels, width_, height_);
    if (live) live->Observe(*game_);
    lastFrame_ = index;
}

std::string ScenarioShow::TakeFailure() {
    return std::exchange(failure_, {});
}

} // namespace frei0r_adapter
