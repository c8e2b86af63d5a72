#pragma once
// The pace at which a flood of output reaches the transcript: how much one
// append takes, and when the control paints. Main thread only.
//
// Under Wine the edit control keeps its lines in a list and walks it for
// every append and for every line it paints, so both cost more the more the
// transcript holds; a paint of a million lines takes seconds. An append is
// sized by the time appends take now, not by a count of characters, so the
// window answers between them at every size. The control would otherwise be
// painted after every append, or (while the feed's wake-ups keep coming
// before paint messages) not at all until the flood ends; here it paints at
// a measured rate: at least once a second while paints are cheap, never
// more than a small share of the time when they are costly, in a turn of its
// own, and once more as soon as the flood goes quiet. Beyond a screenful, a
// paint costs in proportion to the text the control holds, so what the next
// one will cost is the last one's cost grown with the text since.

#include <windows.h>

#include <cstddef>

namespace app {

class TranscriptPace {
public:
    struct Settings {
        double partMs = 200;          // what an append aims at while paints are cheap
        double costlyPaintMs = 250;   // beyond this an append aims at one paint
        double paintShare = 0.05;     // the most of a flood's time its paints take
        double showWithinMs = 1000;   // how long shown text may lag while paints are cheap
        unsigned quietMs = 30;        // no new text for this long: the flood has ended
        size_t minPartChars = 4096;   // no smaller appends, however slow they get
        size_t maxPartChars = size_t{1} << 24;
    };

    // Tests take small parts and long pauses between paints.
    void Configure(const Settings& settings) noexcept;
    [[nodiscard]] const Settings& Current() const noexcept { return settings_; }

    // How many characters the next append should take.
    [[nodiscard]] size_t PartChars() const noexcept;
    // Just before an append to `edit`: notes whether a paint another asked
    // for is pending (it is never held back) and starts timing the append.
    void BeforeAppend(HWND edit) noexcept;
    // Just after an append of `chars` characters; `more` says whether text
    // is still waiting. This is where an append's paint is decided: the
    // control paints as it always does when this is the end of the text and
    // a paint is due anyway; otherwise the paint is held back, to come in a
    // turn of its own once PaintDue, or, at the end of the text, once the
    // flood is quiet. Returns whether a paint now waits for the quiet.
    [[nodiscard]] bool AfterAppend(HWND edit, size_t chars, bool more) noexcept;
    // Whether the paint held back is due now, in a turn of its own.
    [[nodiscard]] bool PaintDue() const noexcept;
    // Paints the whole control now and measures the paint.
    void PaintNow(HWND edit) noexcept;
    // Whether no text has come for quietMs while a paint is held back.
    [[nodiscard]] bool QuietDue() const noexcept;
    // The flood has gone quiet: the held-back paint comes at once.
    void Quiet(HWND edit) noexcept;

private:
    [[nodiscard]] double PaintGapMs() const noexcept;
    [[nodiscard]] double NextPaintMs() const noexcept;

    Settings settings_;
    // Measured by the last appends. The first guess is low: a first part
    // sized for long lines would take seconds to append with short ones.
    double charsPerMs_ = 100;
    double paintMs_ = 0;           // what the last paint of ours took
    double paintedChars_ = 0;      // how much text the control held then
    double heldChars_ = 0;         // how much it holds now
    double lastPaintAt_ = -1e12;   // when it ended; long ago, so the first paint is due at once
    double appendStartedAt_ = 0;
    double appendEndedAt_ = 0;
    bool othersPaint_ = false;     // the control had a paint pending before our append
    bool paintOwed_ = false;       // an append's paint is being held back
};

}  // namespace app
