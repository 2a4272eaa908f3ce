#include "hosting/player.h"

#include "hosting/png_still.h"

namespace hosting {

PlayResult PlayScenario(HostedGame& game, const Scenario& scenario, FrameSource& source,
                        FrameSink* sink, Transcript& transcript, const PlayOptions& options) {
    PlayResult result;
    auto frame = MakeFrame(scenario.width, scenario.height);
    if (!frame) {
        result.error = "unusable frame size";
        return result;
    }
    const long total = scenario.FrameCount();
    Progress progress(options.stage, total, options.quiet);
    std::size_t next = 0;
    for (long index = 0; index < total; ++index) {
        transcript.SetClock(index, scenario.fps);
        std::vector<const ScenarioEvent*> stills;
        for (; next < scenario.events.size() && scenario.events[next].frame <= index; ++next) {
            const ScenarioEvent& event = scenario.events[next];
            if (event.kind == ActionKind::Still) {
                stills.push_back(&event);
            } else if (event.kind == ActionKind::Note) {
                transcript.Add("note", event.path);
            } else if (!game.Apply(event, result.error)) {
                transcript.Add("FAILED", result.error);
                return result;
            }
        }
        if (!source.Next(*frame)) {
            transcript.Add("host", "the video ended after " + std::to_string(index) + " frames");
            break;
        }
        game.ProcessFrame(*frame);
        for (const ScenarioEvent* still : stills) {
            const std::string path =
                options.stillsFolder + "/" + options.stillsPrefix + still->path + ".png";
            if (!WritePng(*frame, path, &result.error)) return result;
            transcript.Add("still", path);
            result.stills.push_back(path);
        }
        if (sink && !sink->Put(*frame)) {
            std::string why;
            sink->Close(why);
            result.error = why.empty() ? "cannot write " + sink->Where() : why;
            return result;
        }
        result.frames = index + 1;
        progress.Update(index + 1);
    }
    if (sink && !sink->Close(result.error)) return result;
    progress.Done(std::to_string(result.frames) + " frames" +
                  (sink ? " written to " + sink->Where() : ""));
    result.ok = true;
    return result;
}

void WriteScoreSummary(const HostedGame& game, Transcript& transcript) {
    const auto ranking = game.Scores().Ranking();
    if (ranking.empty()) transcript.Add("score", "nobody answered right");
    int place = 0;
    for (const auto& [who, points] : ranking)
        transcript.Add("score", std::to_string(++place) + ". " + who + ": " +
                                    std::to_string(points) + (points == 1 ? " point" : " points"));
}

} // namespace hosting
