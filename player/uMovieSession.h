// The built-in player's use of the movie engine: the control's settings in
// the control's own value forms, one movie, its frames, its pixels ready for
// the screen, and the commands the movie sends. Portable, no platform
// headers; one thread drives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "timeline/uMoviePlayer.h"

namespace zembra::player {

// A movie file larger than this is not read at all.
constexpr std::size_t kMaxMovieFileBytes = 64u << 20;

struct MovieCommand {
    std::string command;
    std::string args;
};

class MovieSession {
  public:
    MovieSession();
    MovieSession(const MovieSession&) = delete;
    MovieSession& operator=(const MovieSession&) = delete;

    // Settings; each takes effect at once and survives a later Load.
    void SetLoop(bool loop);
    void SetQuality(std::int32_t controlQuality);
    // False for a text that names no scale mode (the mode stays).
    bool SetScale(const std::wstring& text);
    // Windows colour value 0x00BBGGRR; negative keeps the movie's colour.
    void SetBackgroundColor(std::int32_t colorRef);
    void SetFlashVars(const std::wstring& vars);

    // Replaces the movie. False when the bytes are no playable movie: the
    // session then shows only the background colour. Playing resumes.
    bool Load(std::vector<std::uint8_t> bytes);
    void Unload();
    bool Loaded() const { return engine_.Loaded(); }
    const std::string& Error() const { return error_; }

    // Stop keeps the current frame on show.
    void SetPlaying(bool playing) { playing_ = playing; }
    bool Playing() const { return playing_; }

    // Runs one frame when playing and loaded. The movie's commands of that
    // frame come back to the caller, which acts on them once the engine is
    // out of the way (a command may end the whole control).
    std::vector<MovieCommand> Advance();
    // Milliseconds between frames at the movie's rate; a default rate
    // without a movie.
    int FrameIntervalMs() const;
    std::uint64_t FramesRun() const { return engine_.FramesRun(); }

    // The current frame at width x height as opaque GDI pixels, top row
    // first. Buffers are kept between calls and re-made on a new size.
    // Empty for an empty size.
    const std::vector<std::uint32_t>& Render(int width, int height);
    // The size of what Render last made (the renderer caps each side).
    int RenderedWidth() const { return renderedWidth_; }
    int RenderedHeight() const { return renderedHeight_; }

    void MouseMove(int x, int y);
    void MouseButton(bool down);
    void Key(int keyCode, bool down);

  private:
    void ApplySettings();

    movie::MoviePlayer engine_;
    raster::FrameBuffer frame_;
    std::vector<std::uint32_t> pixels_;
    int renderedWidth_ = 0;
    int renderedHeight_ = 0;
    std::vector<MovieCommand> pending_;
    std::string error_;
    bool playing_ = true;

    bool loop_ = true;
    raster::Quality quality_ = raster::Quality::High;
    movie::ScaleMode scale_ = movie::ScaleMode::ShowAll;
    std::int32_t background_ = -1; // engine form 0x00RRGGBB
    std::string flashVars_;
};

} // namespace zembra::player
