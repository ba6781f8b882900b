#include "timeline/uMoviePlayer.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "text/uUtf16.h"
#include "timeline/uDisplayRenderer.h"
#include "timeline/uMovie.h"

namespace zembra::movie {

struct MoviePlayer::Impl {
    timeline::Movie movie;
    MovieInfo info;
    std::string error;
    bool loaded = false;
    raster::Quality quality = raster::Quality::High;
    ScaleMode scale = ScaleMode::ShowAll;
    int32_t background = -1;
    std::string flashVars;
    int lastWidth = 0, lastHeight = 0;

    // Stage twips to output pixels for an output of w x h.
    raster::Matrix StageToPixels(int w, int h) const {
        const double sw = info.stageWidth, sh = info.stageHeight;
        const swf::Rect& frame = movie.Header().frame;
        double sx = 1, sy = 1;
        if (sw > 0 && sh > 0) {
            switch (scale) {
            case ScaleMode::ShowAll:
                sx = sy = std::min(w / sw, h / sh);
                break;
            case ScaleMode::NoBorder:
                sx = sy = std::max(w / sw, h / sh);
                break;
            case ScaleMode::ExactFit:
                sx = w / sw;
                sy = h / sh;
                break;
            case ScaleMode::NoScale:
                break;
            }
        }
        const double ox = (w - sw * sx) / 2, oy = (h - sh * sy) / 2;
        return raster::Matrix{
            sx / 20, 0, 0, sy / 20, ox - frame.xMin * sx / 20, oy - frame.yMin * sy / 20};
    }
};

namespace {

// The focus rectangle: a yellow frame three pixels wide just inside the
// object's bounds, over everything.
void DrawFocusRect(raster::FrameBuffer& out, const raster::Matrix& toPixels, const swf::Rect& r) {
    const raster::Point a = toPixels.Apply({double(r.xMin), double(r.yMin)});
    const raster::Point b = toPixels.Apply({double(r.xMax), double(r.yMax)});
    auto clampX = [&](double v) {
        return static_cast<int>(std::max(0.0, std::min<double>(out.Width(), v)));
    };
    auto clampY = [&](double v) {
        return static_cast<int>(std::max(0.0, std::min<double>(out.Height(), v)));
    };
    const int x0 = clampX(std::floor(std::min(a.x, b.x)));
    const int x1 = clampX(std::ceil(std::max(a.x, b.x)));
    const int y0 = clampY(std::floor(std::min(a.y, b.y)));
    const int y1 = clampY(std::ceil(std::max(a.y, b.y)));
    constexpr int kWidth = 3;
    constexpr uint32_t kYellow = 0xFF00FFFFu; // opaque; red in the low byte
    for (int y = y0; y < y1; ++y) {
        uint32_t* row = out.Row(y);
        const bool edge = y < y0 + kWidth || y >= y1 - kWidth;
        for (int x = x0; x < x1; ++x)
            if (edge || x < x0 + kWidth || x >= x1 - kWidth)
                row[x] = kYellow;
    }
}

} // namespace

MoviePlayer::MoviePlayer() : impl_(std::make_unique<Impl>()) {
    impl_->movie.onFSCommand = [this](const std::string& c, const std::string& a) {
        if (OnFSCommand)
            OnFSCommand(c, a);
    };
    impl_->movie.onTrace = [this](const std::string& line) {
        if (OnTrace)
            OnTrace(line);
    };
    impl_->movie.onRequest = [this](const std::string& url, const std::string& method,
                                    const std::string& mime, const std::vector<uint8_t>& body) {
        if (OnRequest)
            OnRequest(url, method, mime, body);
    };
    impl_->movie.onSocket = [this](const std::string& host, int port) {
        if (OnSocket)
            OnSocket(host, port);
    };
}

MoviePlayer::~MoviePlayer() = default;

bool MoviePlayer::Load(std::vector<uint8_t> bytes) {
    Impl& d = *impl_;
    d.loaded = false;
    d.info = MovieInfo();
    d.error.clear();
    if (!d.movie.Open(std::move(bytes), d.error))
        return false;
    const swf::Header& h = d.movie.Header();
    d.info.version = h.version;
    d.info.compression = h.compression == swf::Compression::None   ? Compression::None
                         : h.compression == swf::Compression::Zlib ? Compression::Zlib
                                                                   : Compression::Lzma;
    d.info.fileLength = h.fileLength;
    d.info.stageWidth = h.frame.Width() / 20;
    d.info.stageHeight = h.frame.Height() / 20;
    d.info.frameRate = h.frameRate;
    d.info.frameCount = h.frameCount;
    d.loaded = true;
    return true;
}

bool MoviePlayer::LoadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        impl_->loaded = false;
        impl_->error = "cannot open the file";
        return false;
    }
    // Never read more than a movie may be (compressed movies are smaller
    // than their declared length).
    std::vector<uint8_t> bytes;
    constexpr size_t kMaxFile = swf::kMaxMovieLength + 1;
    bytes.resize(kMaxFile);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(kMaxFile));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return Load(std::move(bytes));
}

const std::string& MoviePlayer::Error() const {
    return impl_->error;
}
bool MoviePlayer::Loaded() const {
    return impl_->loaded;
}
const MovieInfo& MoviePlayer::Info() const {
    return impl_->info;
}

void MoviePlayer::SetLoop(bool loop) {
    impl_->movie.SetLoop(loop);
}
void MoviePlayer::SetQuality(raster::Quality q) {
    impl_->quality = q;
}
void MoviePlayer::SetScaleMode(ScaleMode mode) {
    impl_->scale = mode;
}
void MoviePlayer::SetBackgroundColor(int32_t rgb) {
    impl_->background = rgb;
}
void MoviePlayer::SetFlashVars(const std::string& vars) {
    impl_->flashVars = vars;
    impl_->movie.SetFlashVars(vars);
}
void MoviePlayer::SetResourceLoader(std::shared_ptr<timeline::ResourceLoader> loader) {
    impl_->movie.SetResourceLoader(std::move(loader));
}
void MoviePlayer::SetScriptTimeLimit(double seconds) {
    timeline::ScriptBudget budget;
    budget.secondsPerEntry = seconds > 0 ? seconds : budget.secondsPerEntry;
    impl_->movie.SetScriptBudget(budget);
}

void MoviePlayer::Advance() {
    if (impl_->loaded)
        impl_->movie.Advance();
}

int MoviePlayer::FrameIntervalMs() const {
    const double rate = impl_->info.frameRate;
    if (rate <= 0)
        return 1;
    return std::max(1, static_cast<int>(std::lround(1000.0 / rate)));
}

uint64_t MoviePlayer::FramesRun() const {
    return impl_->movie.FramesRun();
}

void MoviePlayer::MouseMove(double x, double y) {
    Impl& d = *impl_;
    if (!d.loaded)
        return;
    if (d.lastWidth <= 0) {
        // Nothing drawn yet: the point is in stage pixels.
        const swf::Rect& frame = d.movie.Header().frame;
        d.movie.PointerMove({x * 20 + frame.xMin, y * 20 + frame.yMin});
        return;
    }
    raster::Matrix inv;
    if (!d.StageToPixels(d.lastWidth, d.lastHeight).Invert(inv))
        return;
    d.movie.PointerMove(inv.Apply({x, y}));
}

void MoviePlayer::MouseButton(bool down) {
    if (impl_->loaded)
        impl_->movie.PointerButton(down);
}

void MoviePlayer::MouseOtherButton(int button, bool down) {
    (void)down;
    if (impl_->loaded)
        impl_->movie.PointerOtherButton(button);
}

void MoviePlayer::Key(int keyCode, bool down, uint32_t charCode) {
    if (impl_->loaded)
        impl_->movie.KeyEvent(keyCode, down, charCode);
}

void MoviePlayer::TextInput(uint32_t codepoint) {
    if (impl_->loaded)
        impl_->movie.TextInput(codepoint);
}

void MoviePlayer::TextControl(const std::string& command) {
    if (impl_->loaded)
        impl_->movie.TextControl(command);
}

void MoviePlayer::SetClipboardText(const std::string& utf8) {
    impl_->movie.SetClipboard(text::ToUtf16(utf8));
}

void MoviePlayer::Render(raster::FrameBuffer& out) {
    Impl& d = *impl_;
    d.lastWidth = out.Width();
    d.lastHeight = out.Height();
    raster::Rgba bg = d.movie.Background();
    if (d.background >= 0)
        bg = raster::Rgba{static_cast<uint8_t>((d.background >> 16) & 0xff),
                          static_cast<uint8_t>((d.background >> 8) & 0xff),
                          static_cast<uint8_t>(d.background & 0xff), 255};
    out.Clear(bg);
    if (!d.loaded || out.Width() <= 0 || out.Height() <= 0)
        return;
    raster::Canvas canvas(out);
    canvas.SetQuality(d.quality);
    timeline::DisplayRenderer renderer(canvas, d.movie.Dictionary());
    timeline::ScriptHost& scripts = d.movie.Host();
    renderer.SetMaskLookup([&scripts](uint32_t clip, const timeline::DisplayObject*& obj,
                                      raster::Matrix& parent) {
        return scripts.MaskPlace(clip, obj, parent);
    });
    const timeline::DisplayObject& root = d.movie.RootProps();
    if (!root.visible)
        return;
    renderer.DrawList(d.movie.Root(),
                      d.StageToPixels(out.Width(), out.Height()).Concat(root.matrix), root.cxform);
    // Levels loaded over the main timeline, lowest first.
    if (!d.movie.Levels().children.empty())
        renderer.DrawList(d.movie.Levels(), d.StageToPixels(out.Width(), out.Height()),
                          raster::ColorTransform());
    swf::Rect focus;
    if (d.movie.FocusHighlight(focus))
        DrawFocusRect(out, d.StageToPixels(out.Width(), out.Height()), focus);
}

} // namespace zembra::movie
