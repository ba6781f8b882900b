#include "player/uMovieSession.h"

#include "player/uPlayerValues.h"

namespace zembra::player {

namespace {

// Without a movie nothing animates; the window is still repainted now and
// then at this pace.
constexpr int kIdleIntervalMs = 100;
// Commands a single frame may send before further ones are dropped.
constexpr std::size_t kMaxCommandsPerFrame = 64;
// A script may hold the saver's frame this long before it is stopped: the
// desktop must stay responsive.
constexpr double kScriptSecondsPerEntry = 0.5;

} // namespace

MovieSession::MovieSession() {
    engine_.OnFSCommand = [this](const std::string& command, const std::string& args) {
        if (pending_.size() < kMaxCommandsPerFrame)
            pending_.push_back({command, args});
    };
    ApplySettings();
}

void MovieSession::ApplySettings() {
    engine_.SetLoop(loop_);
    engine_.SetQuality(quality_);
    engine_.SetScaleMode(scale_);
    engine_.SetBackgroundColor(background_);
    engine_.SetFlashVars(flashVars_);
    engine_.SetScriptTimeLimit(kScriptSecondsPerEntry);
}

void MovieSession::SetLoop(bool loop) {
    loop_ = loop;
    engine_.SetLoop(loop);
}

void MovieSession::SetQuality(std::int32_t controlQuality) {
    quality_ = QualityFromControl(controlQuality);
    engine_.SetQuality(quality_);
}

bool MovieSession::SetScale(const std::wstring& text) {
    if (!ScaleModeFromText(text, scale_))
        return false;
    engine_.SetScaleMode(scale_);
    return true;
}

void MovieSession::SetBackgroundColor(std::int32_t colorRef) {
    background_ = EngineColorFromControl(colorRef);
    engine_.SetBackgroundColor(background_);
}

void MovieSession::SetFlashVars(const std::wstring& vars) {
    flashVars_ = Utf8FromUtf16(vars);
    engine_.SetFlashVars(flashVars_);
}

bool MovieSession::Load(std::vector<std::uint8_t> bytes) {
    error_.clear();
    playing_ = true;
    pending_.clear();
    if (bytes.size() > kMaxMovieFileBytes) {
        Unload();
        error_ = "movie file too large";
        return false;
    }
    const bool ok = engine_.Load(std::move(bytes));
    if (!ok)
        error_ = engine_.Error();
    // Settings given before the movie apply to it as well.
    ApplySettings();
    return ok;
}

void MovieSession::Unload() {
    // The engine has no unload of its own: an empty movie never loads.
    engine_.Load({});
    ApplySettings();
}

std::vector<MovieCommand> MovieSession::Advance() {
    pending_.clear();
    if (playing_ && engine_.Loaded())
        engine_.Advance();
    std::vector<MovieCommand> commands;
    commands.swap(pending_);
    return commands;
}

int MovieSession::FrameIntervalMs() const {
    return engine_.Loaded() ? engine_.FrameIntervalMs() : kIdleIntervalMs;
}

const std::vector<std::uint32_t>& MovieSession::Render(int width, int height) {
    if (width <= 0 || height <= 0) {
        pixels_.clear();
        renderedWidth_ = renderedHeight_ = 0;
        return pixels_;
    }
    if (frame_.Width() != width || frame_.Height() != height)
        frame_.Resize(width, height);
    engine_.Render(frame_);
    const std::size_t count =
        static_cast<std::size_t>(frame_.Width()) * static_cast<std::size_t>(frame_.Height());
    pixels_.resize(count);
    renderedWidth_ = frame_.Width();
    renderedHeight_ = frame_.Height();
    ToOpaqueBgra(frame_.Pixels().data(), pixels_.data(), count);
    return pixels_;
}

void MovieSession::MouseMove(int x, int y) {
    engine_.MouseMove(x, y);
}

void MovieSession::MouseButton(bool down) {
    engine_.MouseButton(down);
}

void MovieSession::Key(int keyCode, bool down) {
    engine_.Key(keyCode, down);
}

} // namespace zembra::player
