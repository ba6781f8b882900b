// One movie, played: loads the file, advances it frame by frame and draws the
// stage into a frame buffer of any size. This is the whole surface that the
// saver's built-in control and the command-line tool use; everything below
// it (file, tags, characters, display list, renderer, scripts) stays behind.
// Portable, no platform headers. Not thread-safe: one thread drives it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "raster/uCanvas.h"

namespace zembra::timeline {
class ResourceLoader;
}

namespace zembra::movie {

enum class Compression { None, Zlib, Lzma };

struct MovieInfo {
    int version = 0;
    Compression compression = Compression::None;
    uint32_t fileLength = 0; // as the header declares it (uncompressed)
    double stageWidth = 0;   // pixels
    double stageHeight = 0;
    double frameRate = 0; // frames per second as stored (0 means as fast as possible)
    int frameCount = 0;
};

// How the stage is fitted into the output size (the control's Scale).
enum class ScaleMode { ShowAll, ExactFit, NoBorder, NoScale };

class MoviePlayer {
  public:
    MoviePlayer();
    ~MoviePlayer();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    // Loads a movie from its bytes. Returns false and sets Error() when the
    // file cannot be played at all (bad signature, truncated header,
    // decompression bomb...). A movie that is damaged half-way loads, and
    // plays what could be read.
    bool Load(std::vector<uint8_t> bytes);
    bool LoadFile(const std::string& path);
    const std::string& Error() const;
    bool Loaded() const;
    const MovieInfo& Info() const;

    // Settings the host applies (the control's properties).
    void SetLoop(bool loop);            // default true
    void SetQuality(raster::Quality q); // default High
    void SetScaleMode(ScaleMode mode);  // default ShowAll
    // 0x00RRGGBB; replaces the movie's own background colour. Negative
    // (the default) keeps the movie's.
    void SetBackgroundColor(int32_t rgb);
    // "name=value&name2=value2", URL-encoded; set as _root variables before
    // the first frame.
    void SetFlashVars(const std::string& vars);
    // The longest a single script may run before it is stopped and the
    // movie goes on (default 15 s; the movie's own limit may be lower).
    void SetScriptTimeLimit(double seconds);
    // Where the files the movie's scripts load (loadMovie, loadVariables,
    // LoadVars, XML...) are read from. None (the default): every such load
    // fails as a missing file does, with the scripts' error events.
    void SetResourceLoader(std::shared_ptr<timeline::ResourceLoader> loader);

    // Called for every FSCommand (a getURL to an "FSCommand:" target).
    std::function<void(const std::string& command, const std::string& args)> OnFSCommand;
    // Called for every trace line.
    std::function<void(const std::string& line)> OnTrace;
    // A request the movie's scripts made; nothing is sent, this only tells.
    std::function<void(const std::string& url, const std::string& method,
                       const std::string& mimeType, const std::vector<uint8_t>& body)>
        OnRequest;
    // A socket connection the movie asked for; none is opened.
    std::function<void(const std::string& host, int port)> OnSocket;

    // Runs the next frame: the first call shows frame 1. Does nothing when
    // not loaded or stopped at the end without looping.
    void Advance();
    // Milliseconds between frames at the movie's rate (at least 1).
    int FrameIntervalMs() const;
    // Frames run since the start.
    uint64_t FramesRun() const;

    // Input in output pixels (the same size as the last Render; stage
    // pixels before the first Render).
    void MouseMove(double x, double y);
    void MouseButton(bool down);
    // The right (1) or middle (2) button went down or up.
    void MouseOtherButton(int button, bool down);
    // charCode: the character the key types (0: none).
    void Key(int keyCode, bool down, uint32_t charCode = 0);
    // A character typed into the focused text field, and editing commands
    // for it ("Enter", "Backspace", "Delete", "MoveLeft", "MoveRight",
    // "SelectAll", "Copy", "Cut", "Paste").
    void TextInput(uint32_t codepoint);
    void TextControl(const std::string& command);
    // The movie's own clipboard, which Copy and Paste use (never the
    // system's).
    void SetClipboardText(const std::string& utf8);

    // Draws the current stage at `out`'s size with the scale mode, filling
    // what the stage does not cover with the background colour.
    void Render(raster::FrameBuffer& out);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zembra::movie
