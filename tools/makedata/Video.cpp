// The intro video "GameIntro.avi": a night sky over a hex board that sweeps into view, a crest and the
// game's title fading in, then a fade to black. Each frame is drawn with cairo and Pango and encoded as
// Motion JPEG in an AVI file, a codec the original video library could play.
#include "DataWriter.h"
#include "Writers.h"

#include <cairo.h>
#include <pango/pangocairo.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;
constexpr int FPS = 25;
constexpr int SECONDS = 7;
constexpr int FRAMES = FPS * SECONDS;
constexpr double PI = 3.14159265358979323846;

double Clamp01(double v)
{
    return std::clamp(v, 0.0, 1.0);
}

// 0 before start, 1 after end, eased in between.
double Ramp(double t, double start, double end)
{
    const double x = Clamp01((t - start) / (end - start));
    return x * x * (3.0 - 2.0 * x);
}

struct Star {
    double x, y, size, phase;
};

std::vector<Star> MakeStars()
{
    // The C runtime's generator, so the sky is the same on every build.
    uint32_t state = 1;
    const auto next = [&state] {
        state = state * 214013u + 2531011u;
        return double((state >> 16) & 0x7FFF) / 32767.0;
    };
    std::vector<Star> stars(140);
    for (Star& s : stars) {
        s.x = next() * WIDTH;
        s.y = next() * next() * HEIGHT * 0.62; // thicker towards the top
        s.size = 0.4 + next() * 1.1;
        s.phase = next() * 2.0 * PI;
    }
    return stars;
}

void DrawSky(cairo_t* cr, const std::vector<Star>& stars, double t)
{
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, HEIGHT);
    // Not quite black at the top: the game shows the video through a texture of 5 bits a channel, where a
    // long gradient through the darkest few levels breaks into broad bands.
    cairo_pattern_add_color_stop_rgb(sky, 0.0, 0.04, 0.05, 0.11);
    cairo_pattern_add_color_stop_rgb(sky, 0.55, 0.09, 0.11, 0.22);
    cairo_pattern_add_color_stop_rgb(sky, 0.75, 0.22, 0.14, 0.19);
    cairo_pattern_add_color_stop_rgb(sky, 1.0, 0.06, 0.06, 0.09);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);

    for (const Star& s : stars) {
        const double twinkle = 0.55 + 0.45 * std::sin(t * 3.0 + s.phase);
        cairo_set_source_rgba(cr, 0.85, 0.88, 1.0, 0.8 * twinkle * Ramp(t, 0.0, 0.5));
        cairo_arc(cr, s.x, s.y, s.size, 0, 2 * PI);
        cairo_fill(cr);
    }
}

// A point of the board plane (x across, z into the distance) seen from above the near edge.
void Project(double x, double z, double& sx, double& sy)
{
    constexpr double horizon = HEIGHT * 0.58;
    constexpr double focal = 360.0;
    constexpr double eye = 1.4;
    const double depth = z + 2.2;
    sx = WIDTH * 0.5 + focal * x / depth;
    sy = horizon + focal * eye / depth;
}

// The board sweeps in from the left, each column lighting up as a bright front passes it.
void DrawBoard(cairo_t* cr, double t)
{
    constexpr double radius = 0.5;
    const double w = std::sqrt(3.0) * radius;
    constexpr int columns = 17;
    constexpr int rows = 11;
    const double front = (t - 0.2) * 9.0; // the sweep's column, under way from the opening frames
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (int row = rows - 1; row >= 0; --row) {
        for (int col = 0; col < columns; ++col) {
            const double shown = Clamp01(front - col);
            if (shown <= 0.0)
                continue;
            const double cx = (col - columns / 2) * w + (row % 2 ? w * 0.5 : 0.0);
            const double cz = row * radius * 1.5;
            cairo_new_path(cr);
            for (int k = 0; k < 6; ++k) {
                const double a = PI / 6.0 + k * PI / 3.0;
                double sx, sy;
                Project(cx + radius * 0.92 * std::cos(a), cz + radius * 0.92 * std::sin(a), sx, sy);
                if (k == 0)
                    cairo_move_to(cr, sx, sy);
                else
                    cairo_line_to(cr, sx, sy);
            }
            cairo_close_path(cr);
            const double fade = 1.0 - row / double(rows) * 0.8; // far rows melt into the dark
            const double glow = std::exp(-std::pow(front - col - 0.5, 2.0) * 0.6);
            const double chequer = ((row + col) % 3 == 0) ? 0.06 : 0.0;
            cairo_set_source_rgba(cr, 0.10 + chequer, 0.13 + chequer, 0.10, 0.55 * fade * shown);
            cairo_fill_preserve(cr);
            cairo_set_source_rgba(cr, 0.85, 0.68 + 0.3 * glow, 0.30 + 0.6 * glow, (0.35 + 0.65 * glow) * fade * shown);
            cairo_set_line_width(cr, 1.0 + 1.5 * glow);
            cairo_stroke(cr);
        }
    }
}

// A heater shield in deep red with a golden rim, a chevron and three stars.
void DrawCrest(cairo_t* cr, double t)
{
    const double a = Ramp(t, 1.6, 3.2);
    if (a <= 0.0)
        return;
    cairo_save(cr);
    const double scale = 0.85 + 0.15 * Ramp(t, 1.6, 3.6);
    cairo_translate(cr, WIDTH * 0.5, 150);
    cairo_scale(cr, scale, scale);

    // A soft halo behind the shield.
    cairo_pattern_t* halo = cairo_pattern_create_radial(0, 0, 10, 0, 0, 150);
    cairo_pattern_add_color_stop_rgba(halo, 0, 1.0, 0.8, 0.4, 0.35 * a);
    cairo_pattern_add_color_stop_rgba(halo, 1, 1.0, 0.8, 0.4, 0.0);
    cairo_set_source(cr, halo);
    cairo_arc(cr, 0, 0, 150, 0, 2 * PI);
    cairo_fill(cr);
    cairo_pattern_destroy(halo);

    const auto shield = [cr] {
        cairo_new_path(cr);
        cairo_move_to(cr, -60, -75);
        cairo_line_to(cr, 60, -75);
        cairo_curve_to(cr, 62, 10, 40, 55, 0, 85);
        cairo_curve_to(cr, -40, 55, -62, 10, -60, -75);
        cairo_close_path(cr);
    };
    shield();
    cairo_pattern_t* field = cairo_pattern_create_linear(-60, -75, 60, 85);
    cairo_pattern_add_color_stop_rgba(field, 0, 0.55, 0.08, 0.10, a);
    cairo_pattern_add_color_stop_rgba(field, 1, 0.25, 0.02, 0.05, a);
    cairo_set_source(cr, field);
    cairo_fill(cr);
    cairo_pattern_destroy(field);

    // The charges are cut to the shield's outline; the rim is drawn over their ends.
    cairo_save(cr);
    shield();
    cairo_clip(cr);
    // Chevron.
    cairo_new_path(cr);
    cairo_move_to(cr, -75, 52);
    cairo_line_to(cr, 0, -18);
    cairo_line_to(cr, 75, 52);
    cairo_line_to(cr, 75, 74);
    cairo_line_to(cr, 0, 4);
    cairo_line_to(cr, -75, 74);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0.92, 0.74, 0.32, a);
    cairo_fill(cr);

    // Three five-pointed stars.
    const double stars[3][2] = {{-30, -48}, {30, -48}, {0, 48}};
    for (const auto& s : stars) {
        cairo_new_path(cr);
        for (int k = 0; k < 10; ++k) {
            const double r = (k % 2) ? 5.0 : 12.0;
            const double ang = -PI / 2 + k * PI / 5;
            const double x = s[0] + r * std::cos(ang);
            const double y = s[1] + r * std::sin(ang);
            if (k == 0)
                cairo_move_to(cr, x, y);
            else
                cairo_line_to(cr, x, y);
        }
        cairo_close_path(cr);
        cairo_set_source_rgba(cr, 0.96, 0.90, 0.70, a);
        cairo_fill(cr);
    }
    cairo_restore(cr);
    shield();
    cairo_set_source_rgba(cr, 0.92, 0.74, 0.32, a);
    cairo_set_line_width(cr, 6);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void DrawTitle(cairo_t* cr, PangoLayout* title, double t)
{
    const double a = Ramp(t, 2.8, 4.2);
    if (a <= 0.0)
        return;
    int w = 0;
    int h = 0;
    pango_layout_get_pixel_size(title, &w, &h);
    const double x = (WIDTH - w) * 0.5;
    const double y = 262 + 10.0 * (1.0 - a);

    cairo_save(cr);
    cairo_move_to(cr, x, y);
    pango_cairo_layout_path(cr, title);
    // A dark outline first, then gold lit from above, then a light band gliding across the letters.
    cairo_set_source_rgba(cr, 0.05, 0.02, 0.02, 0.9 * a);
    cairo_set_line_width(cr, 5);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
    cairo_pattern_t* gold = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(gold, 0.0, 1.0, 0.93, 0.66, a);
    cairo_pattern_add_color_stop_rgba(gold, 0.55, 0.86, 0.63, 0.24, a);
    cairo_pattern_add_color_stop_rgba(gold, 1.0, 0.62, 0.38, 0.12, a);
    cairo_set_source(cr, gold);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(gold);

    const double sweep = Ramp(t, 4.0, 5.4);
    if (sweep > 0.0 && sweep < 1.0) {
        const double bx = x - 80 + (w + 160) * sweep;
        cairo_pattern_t* shine = cairo_pattern_create_linear(bx - 50, 0, bx + 50, 0);
        cairo_pattern_add_color_stop_rgba(shine, 0.0, 1, 1, 1, 0);
        cairo_pattern_add_color_stop_rgba(shine, 0.5, 1, 1, 0.9, 0.7);
        cairo_pattern_add_color_stop_rgba(shine, 1.0, 1, 1, 1, 0);
        cairo_set_source(cr, shine);
        cairo_fill(cr);
        cairo_pattern_destroy(shine);
    }
    cairo_new_path(cr);

    // A thin rule under the title that grows from its middle.
    const double rule = Ramp(t, 3.6, 4.8) * (w * 0.5 + 20);
    cairo_set_source_rgba(cr, 0.92, 0.74, 0.32, 0.8 * a);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, WIDTH * 0.5 - rule, y + h + 8);
    cairo_line_to(cr, WIDTH * 0.5 + rule, y + h + 8);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void DrawFrame(cairo_t* cr, PangoLayout* title, const std::vector<Star>& stars, int frame)
{
    const double t = double(frame) / FPS;
    DrawSky(cr, stars, t);
    DrawBoard(cr, t);
    DrawCrest(cr, t);
    DrawTitle(cr, title, t);
    // A short fade in from black at the start (the opening frames show the sky, not a dark screen) and a
    // longer one out to black at the end.
    const double dark = std::max(1.0 - Ramp(t, 0.0, 0.35), Ramp(t, SECONDS - 1.2, SECONDS - 0.1));
    if (dark > 0.0) {
        cairo_set_source_rgba(cr, 0, 0, 0, dark);
        cairo_paint(cr);
    }
}

// A grain of about one 5-bit step (8 of 255) over the picture, different in every frame: the game's 5-bit
// video texture then turns the smooth gradients into a fine film grain instead of bands. (An ordered pattern
// would show as a lattice once the 640 x 480 frames are stretched over the screen.) The grain comes from a
// hash of the place and the frame, so every build writes the same file.
void Dither(cairo_surface_t* surface, int frame)
{
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < HEIGHT; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < WIDTH; ++x) {
            uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(frame) * 83492791u;
            h ^= h >> 13;
            h *= 0x5bd1e995u;
            h ^= h >> 15;
            // Two uniform draws of 0..4 summed: a triangular grain of -4 .. +4, most often near 0.
            const int offset = int(h & 7u) % 5 + int((h >> 8) & 7u) % 5 - 4;
            uint32_t p = row[x];
            uint32_t out = p & 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8) {
                const int c = std::clamp(int((p >> shift) & 0xFFu) + offset, 0, 255);
                out |= uint32_t(c) << shift;
            }
            row[x] = out;
        }
    }
    cairo_surface_mark_dirty(surface);
}

// Draws frames and encodes each into a JPEG of its own. Motion JPEG frames do not depend on one another, so
// several coders can work on different frames at once and the file still comes out the same.
class FrameCoder
{
public:
    FrameCoder()
    {
        const AVCodec* mjpeg = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        if (!mjpeg)
            throw std::runtime_error("no Motion JPEG encoder");
        codec = avcodec_alloc_context3(mjpeg);
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        if (!codec || !frame || !packet)
            throw std::runtime_error("out of memory for the video encoder");
        codec->width = WIDTH;
        codec->height = HEIGHT;
        codec->time_base = AVRational{1, FPS};
        codec->framerate = AVRational{FPS, 1};
        codec->pix_fmt = AV_PIX_FMT_YUVJ420P;
        codec->color_range = AVCOL_RANGE_JPEG;
        codec->flags |= AV_CODEC_FLAG_QSCALE | AV_CODEC_FLAG_BITEXACT;
        codec->global_quality = FF_QP2LAMBDA * 4;
        codec->thread_count = 1;
        if (avcodec_open2(codec, mjpeg, nullptr) < 0)
            throw std::runtime_error("cannot start the Motion JPEG encoder");
        frame->format = codec->pix_fmt;
        frame->width = WIDTH;
        frame->height = HEIGHT;
        if (av_frame_get_buffer(frame, 0) < 0)
            throw std::runtime_error("out of memory for a video frame");
        scaler = sws_getContext(WIDTH, HEIGHT, AV_PIX_FMT_BGRA, WIDTH, HEIGHT, AV_PIX_FMT_YUVJ420P,
                                SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
        if (!scaler)
            throw std::runtime_error("cannot convert the video's pixels");

        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, WIDTH, HEIGHT);
        cr = cairo_create(surface);
        title = pango_cairo_create_layout(cr);
        PangoFontDescription* font =
            pango_font_description_from_string("Liberation Serif, DejaVu Serif, Serif Bold 66");
        pango_layout_set_font_description(title, font);
        pango_font_description_free(font);
        pango_layout_set_text(title, "The Varnholt", -1);
    }
    ~FrameCoder()
    {
        if (title)
            g_object_unref(title);
        if (cr)
            cairo_destroy(cr);
        if (surface)
            cairo_surface_destroy(surface);
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
    }
    FrameCoder(const FrameCoder&) = delete;
    FrameCoder& operator=(const FrameCoder&) = delete;

    const AVCodecContext* Codec() const { return codec; }

    std::vector<uint8_t> Encode(int index, const std::vector<Star>& stars)
    {
        DrawFrame(cr, title, stars, index);
        cairo_surface_flush(surface);
        Dither(surface, index);
        const uint8_t* source[1] = {cairo_image_surface_get_data(surface)};
        const int sourceStride[1] = {cairo_image_surface_get_stride(surface)};
        if (av_frame_make_writable(frame) < 0)
            throw std::runtime_error("out of memory for a video frame");
        sws_scale(scaler, source, sourceStride, 0, HEIGHT, frame->data, frame->linesize);
        frame->pts = index;
        if (avcodec_send_frame(codec, frame) < 0 || avcodec_receive_packet(codec, packet) < 0)
            throw std::runtime_error("the video encoder refused a frame");
        std::vector<uint8_t> bytes(packet->data, packet->data + packet->size);
        av_packet_unref(packet);
        return bytes;
    }

private:
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    PangoLayout* title = nullptr;
};

// Every frame of the intro, encoded on a few threads (each Pango thread has its own font map).
std::vector<std::vector<uint8_t>> EncodeFrames()
{
    const std::vector<Star> stars = MakeStars();
    std::vector<std::vector<uint8_t>> frames(FRAMES);
    const int workers = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    std::vector<std::exception_ptr> errors(static_cast<size_t>(workers));
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] {
            try {
                FrameCoder coder;
                for (int i = w; i < FRAMES; i += workers)
                    frames[size_t(i)] = coder.Encode(i, stars);
            } catch (...) {
                errors[size_t(w)] = std::current_exception();
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
    return frames;
}

} // namespace

void WriteVideo(const std::filesystem::path& root)
{
    // The pixel-format converter warns about the full-range formats JPEG needs; the range is set on purpose.
    av_log_set_level(AV_LOG_ERROR);
    // The intro sits in the data root, the first directory the game searches.
    const std::filesystem::path path = root / "Data" / "GameIntro.avi";
    std::filesystem::create_directories(path.parent_path());
    const std::vector<std::vector<uint8_t>> frames = EncodeFrames();

    AVFormatContext* container = nullptr;
    if (avformat_alloc_output_context2(&container, nullptr, "avi", path.string().c_str()) < 0)
        throw std::runtime_error("cannot start the AVI writer");
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> owner(container, [](AVFormatContext* c) {
        if (c->pb)
            avio_closep(&c->pb);
        avformat_free_context(c);
    });
    // No library version or date in the file, so every build writes the same bytes.
    container->flags |= AVFMT_FLAG_BITEXACT;
    AVStream* stream = avformat_new_stream(container, nullptr);
    if (!stream)
        throw std::runtime_error("out of memory for the AVI writer");
    {
        const FrameCoder parameters;
        if (avcodec_parameters_from_context(stream->codecpar, parameters.Codec()) < 0)
            throw std::runtime_error("cannot describe the video stream");
    }
    stream->time_base = AVRational{1, FPS};
    if (avio_open(&container->pb, path.string().c_str(), AVIO_FLAG_WRITE) < 0)
        throw std::runtime_error("cannot write " + path.string());
    if (avformat_write_header(container, nullptr) < 0)
        throw std::runtime_error("cannot write the AVI header");
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        throw std::runtime_error("out of memory for the AVI writer");
    for (int i = 0; i < FRAMES; ++i) {
        const std::vector<uint8_t>& bytes = frames[size_t(i)];
        if (av_new_packet(packet, int(bytes.size())) < 0) {
            av_packet_free(&packet);
            throw std::runtime_error("out of memory for a video frame");
        }
        std::copy(bytes.begin(), bytes.end(), packet->data);
        packet->pts = packet->dts = av_rescale_q(i, AVRational{1, FPS}, stream->time_base);
        packet->duration = 1;
        packet->flags |= AV_PKT_FLAG_KEY;
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(container, packet) < 0) {
            av_packet_free(&packet);
            throw std::runtime_error("the intro video cannot be written");
        }
    }
    av_packet_free(&packet);
    if (av_write_trailer(container) < 0)
        throw std::runtime_error("cannot finish the intro video");
}

void ReleaseTextRendering()
{
    // Only the font map goes. Resetting cairo's static data as well is unsafe: Pango sorts fonts on threads
    // of its own, which may still hold fonts after the last layout is gone, and the reset then aborts the
    // tool. Fontconfig's lifetime allocations are the leak checker's business (see Main.cpp).
    pango_cairo_font_map_set_default(nullptr);
}
