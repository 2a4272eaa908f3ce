// The free-mode game: any viewer answers by chat, every right answer earns its sender one point.
// While a question is open the game draws a prompt (and, when the presenter wants it, the
// question); once someone has answered right it draws a score list of the three best viewers,
// the right answer and a congratulation for the viewer who answered last.
//
// The host calls the IVideoEffect slots, possibly on its video thread; the free-mode panel calls
// the operations below PresentQuestion on its UI thread. One mutex serialises them all; the game
// calls into the host only with it let go, so a host may call back from any thread while it
// handles the call. No exception leaves a slot the host calls.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "game/free_text_sprite.h"
#include "game/player_board.h"
#include "game/sender_index.h"
#include "plugin/base_video_effect.h"
#include "render/text_sprite.h"
#include "ui/language_table.h"

class CFreeModeImpl;

// Read access to the game's state for tests and benchmarks. It is not synchronised: take it
// while no other thread calls into the game.
struct FreeModeView {
    const CSpriteTextShow& promptSprite;
    const CSpriteTextShow& questionSprite;
    const CSpriteTextShow& answerSprite;
    const CSpriteTextShow& congratsSprite;
    const CSpriteTextShowBase& scoreTitle;
    const std::array<CSpriteTextShowBase, 3>& scoreLines;
    const PlayerBoard& scoreBoard;
    const std::u16string& rightAnswer;
    bool choiceAnswer;
    std::uint64_t textRenders; // Render calls made on any of the game's sprites so far
};

class CFreeModeImpl : public CBaseVideoEffect {
public:
    CFreeModeImpl();
    ~CFreeModeImpl() override;

    // ---- Host (IVideoEffect) ----
    const GUID* GetEffectId() override;
    // Lays out every sprite for the frame size, renders prompt and heading, starts the audience
    // source and empties the score board. 0 with nothing changed for a size that is not within
    // 1..65535. The answer, the flags and the sprites' texts keep their values.
    BOOL Init(int frameWidth, int frameHeight, int reserved) override;
    void SetAudienceSource(IAudienceSource* source) override;
    // While the question is open: takes every waiting message (answers of the two accepted
    // kinds are checked, every message is released), re-renders the lines a right answer
    // changed, then draws by state, laid out for Init's size and clipped to the frame handed
    // over (width × |height|; a negative height means top-down rows). 0 touching nothing when
    // bytesPerPixel is not 4.
    BOOL ProcessFrame(BYTE* pixels, int reserved1, int bytesPerPixel, int reserved2, int frameWidth,
                      int frameHeight, int reserved3) override;

    // ---- Panel (null text pointers read as empty text) ----
    void SetLanguageFile(LPCWSTR path);
    // Whether viewers see the question text under the prompt.
    void SetShowQuestionText(bool show);
    // Shows the question and opens it: every viewer gets a new attempt at a choice question. The
    // question is rendered before the lock is taken; frames drawn meanwhile show the previous one.
    void PresentQuestion(LPCWSTR text);
    // Stores the answer messages are compared with and prepares the hidden answer banner.
    void SetRightAnswer(LPCWSTR answer);
    // Shows or hides question and banner, hides the score list, stops the audience source.
    void SetQuestionVisible(bool visible);
    // Text colour (0xAARRGGBB) of prompt, question, banner and congratulation, each re-rendered
    // before the lock is taken; the score list stays white.
    void SetOverlayTextColor(std::uint32_t color);

    // A single choice character: one unit whose byte in the ANSI code page is a to f, A to F or
    // 1 to 6.
    static bool IsChoiceAnswer(std::u16string_view text);

    FreeModeView View() const;

private:
    // The messages one frame took from the host; the destructor hands them all back.
    struct Intake {
        IAudienceSource* source;
        std::vector<AudienceMessage*> taken;
        ~Intake();
    };

    // Init's work under the lock; answers the source to start once the lock is let go.
    IAudienceSource* LayOut(std::uint16_t width, std::uint16_t height);
    bool RenderSprite(CSpriteTextShowBase& sprite);
    // Renders `text` (null: the sprite's own text) in `live`'s settings changed by `adjust`, with
    // no lock held; then, under the lock, applies `adjust` to `live`, swaps the picture in and
    // runs `then`. Frames drawn meanwhile show the sprite as it was.
    template <class Adjust, class Then>
    void ReplaceAside(CSpriteTextShow& live, const std::u16string* text, Adjust adjust, Then then);
    void CheckMessages(const std::vector<AudienceMessage*>& messages, int frameWidth,
                       int frameHeight);
    // Checks one accepted message; a right answer scores and is remembered for the line renders.
    void CheckAnswer(const AudienceMessage& message);
    std::uint16_t AddScore(std::uint32_t senderId, std::u16string_view senderName,
                           std::uint16_t points);
    // Re-renders congratulation and score lines after an intake with right answers.
    void ShowRightAnswers(int frameWidth, int frameHeight);
    void RefreshScoreLines();
    void Draw(const FrameView& pixels);

    std::mutex mutex_;

    CSpriteTextShow promptSprite;
    CSpriteTextShow questionSprite;
    CSpriteTextShow answerSprite;
    CSpriteTextShow congratsSprite;
    CSpriteTextShowBase scoreTitle;
    std::array<CSpriteTextShowBase, 3> scoreLines;
    std::u16string rightAnswer;
    PlayerBoard scoreBoard;
    IAudienceSource* audienceSource = nullptr;
    CLanguageTable languageTable;
    bool showQuestionText = false;
    SenderIndex answeredSenders;
    bool choiceAnswer = false;

    // The last right answer of the current intake, kept until the lines are rendered after it.
    bool rightAnswerTaken_ = false;
    std::uint32_t lastScorerId_ = 0;
    std::u16string lastScorerName_;
    std::uint16_t lastScorerTotal_ = 0;
    std::array<bool, 3> scoreLineStale_{true, true, true}; // layout changed since its last render
    std::u16string lineText_;                              // reused while formatting a line
    std::uint64_t textRenders_ = 0;
};
