#include "platform/linux/X11WindowPictures.h"

#include "platform/linux/X11Windows.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace {

constexpr std::uint32_t Red = 0xFF0000;
constexpr std::uint32_t Green = 0x00FF00;
constexpr std::uint32_t Blue = 0x0000FF;

bool IsPictureDepth(std::uint8_t depth)
{
    return depth == 24 || depth == 32;
}

bool ServerTakesQtPixels(xcb_connection_t* c)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    int formats = 0;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (!IsPictureDepth(f.data->depth))
            continue;
        if (f.data->bits_per_pixel != 32)
            return false;
        ++formats;
    }
    if (formats == 0)
        return false;
    for (auto screen = xcb_setup_roots_iterator(setup); screen.rem; xcb_screen_next(&screen)) {
        // A window takes the screen's own depth unless it asks for an alpha channel (32): a
        // deep-colour screen of 30 bits is not for us.
        if (!IsPictureDepth(screen.data->root_depth))
            return false;
        for (auto depth = xcb_screen_allowed_depths_iterator(screen.data); depth.rem;
             xcb_depth_next(&depth)) {
            if (!IsPictureDepth(depth.data->depth))
                continue;
            for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem;
                 xcb_visualtype_next(&visual)) {
                const xcb_visualtype_t& v = *visual.data;
                if (v.red_mask != Red || v.green_mask != Green || v.blue_mask != Blue)
                    return false;
            }
        }
    }
    return true;
}

// What a put needs of the window: its depth and a graphics context made for it. Kept for the
// last window (the program puts pictures into one window, which Qt may make anew).
struct Target
{
    xcb_window_t window = XCB_NONE;
    std::uint8_t depth = 0;
    xcb_gcontext_t gc = XCB_NONE;
};

const Target* TargetOf(xcb_connection_t* c, xcb_window_t window)
{
    static Target target;
    if (window == target.window)
        return IsPictureDepth(target.depth) ? &target : nullptr;
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
    if (!geometry)
        return nullptr;
    if (target.gc != XCB_NONE)
        xcb_free_gc(c, target.gc);
    target = Target{window, geometry->depth, XCB_NONE};
    if (!IsPictureDepth(target.depth))
        return nullptr;
    target.gc = xcb_generate_id(c);
    xcb_create_gc(c, target.gc, window, 0, nullptr);
    return &target;
}

} // namespace

bool X11TakesQtPixels()
{
    xcb_connection_t* c = X11QtConnection();
    return c && ServerTakesQtPixels(c);
}

bool X11PutPicture(unsigned long window, const QImage& picture, QPoint at)
{
    xcb_connection_t* c = X11QtConnection();
    if (!c || picture.isNull() ||
        (picture.format() != QImage::Format_RGB32 &&
         picture.format() != QImage::Format_ARGB32_Premultiplied))
        return false;
    const Target* target = TargetOf(c, static_cast<xcb_window_t>(window));
    if (!target)
        return false;
    // A request's header takes 24 bytes; the rest is pixels, whole rows where they fit.
    const std::int64_t room = std::int64_t(xcb_get_maximum_request_length(c)) * 4 - 32;
    const int columns = int(std::clamp<std::int64_t>(room / 4, 1, picture.width()));
    const int rows =
        int(std::clamp<std::int64_t>(room / (std::int64_t(columns) * 4), 1, picture.height()));
    const bool packed = picture.bytesPerLine() == qsizetype(picture.width()) * 4;
    for (int y = 0; y < picture.height(); y += rows)
        for (int x = 0; x < picture.width(); x += columns) {
            const QRect tile(x, y, std::min(columns, picture.width() - x),
                             std::min(rows, picture.height() - y));
            // The request carries rows one after another.
            const QImage copy =
                packed && tile.width() == picture.width() ? QImage() : picture.copy(tile);
            const std::uint8_t* pixels =
                copy.isNull() ? picture.constScanLine(tile.y()) : copy.constBits();
            xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, target->window, target->gc,
                          std::uint16_t(tile.width()), std::uint16_t(tile.height()),
                          std::int16_t(at.x() + tile.x()), std::int16_t(at.y() + tile.y()), 0,
                          target->depth, std::uint32_t(tile.width()) * tile.height() * 4, pixels);
        }
    xcb_flush(c);
    return true;
}
