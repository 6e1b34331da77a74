#include "skin/DeltaStrip.h"

#include <algorithm>
#include <cstring>

namespace {

// Equal pixels between two differences shorter than this are taken into one run: a run's
// header costs as much as about three pixels.
constexpr int MergeGap = 4;

bool SamePixel(const std::uint8_t* a, const std::uint8_t* b)
{
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// At each pixel the colour more than half the frames show there, where there is one (found in
// one pass by majority vote); where there is none, one of the frames' colours.
Bitmap24 CommonFrame(const Bitmap24& picture, int frames, int frameHeight)
{
    const int width = picture.Width();
    Bitmap24 common = picture.Copy(0, 0, width, frameHeight);
    std::vector<int> votes(std::size_t(width) * std::size_t(frameHeight), 1);
    for (int f = 1; f < frames; ++f)
        for (int y = 0; y < frameHeight; ++y) {
            std::uint8_t* base = common.Row(y);
            const std::uint8_t* row = picture.Row(f * frameHeight + y);
            int* vote = votes.data() + std::size_t(y) * std::size_t(width);
            for (int x = 0; x < width; ++x) {
                std::uint8_t* b = base + x * 3;
                const std::uint8_t* p = row + x * 3;
                if (SamePixel(b, p))
                    ++vote[x];
                else if (vote[x] > 0)
                    --vote[x];
                else {
                    std::memcpy(b, p, 3);
                    vote[x] = 1;
                }
            }
        }
    return common;
}

} // namespace

DeltaStrip::DeltaStrip(const Bitmap24& picture, int frames, int frameHeight)
{
    if (frames <= 0 || frameHeight <= 0 || picture.IsEmpty() ||
        std::int64_t(frames) * frameHeight > picture.Height())
        return;
    auto data = std::make_shared<Data>();
    data->frames = frames;
    data->frameHeight = frameHeight;
    // A run places itself in 16 bits; frames wider or taller than that, or one that differs
    // from the base in more pixels, are kept whole (they would take about as much as runs).
    if (picture.Width() > UINT16_MAX || frameHeight > UINT16_MAX || !FindRuns(picture, *data)) {
        data->whole = true;
        data->frameRuns.clear();
        data->framePixels.clear();
        data->runs.clear();
        data->pixels.clear();
        data->first = picture.Copy(0, 0, picture.Width(), frames * frameHeight);
    }
    data->runs.shrink_to_fit();
    data->pixels.shrink_to_fit();
    m_data = std::move(data);
}

bool DeltaStrip::FindRuns(const Bitmap24& picture, Data& data)
{
    const int frames = data.frames;
    const int frameHeight = data.frameHeight;
    const int width = picture.Width();
    data.first = CommonFrame(picture, frames, frameHeight);
    data.frameRuns.reserve(std::size_t(frames) + 1);
    data.framePixels.reserve(std::size_t(frames));
    for (int f = 0; f < frames; ++f) {
        data.frameRuns.push_back(std::uint32_t(data.runs.size()));
        const std::size_t frameStart = data.pixels.size();
        data.framePixels.push_back(std::uint32_t(frameStart));
        for (int y = 0; y < frameHeight; ++y) {
            const std::uint8_t* base = data.first.Row(y);
            const std::uint8_t* row = picture.Row(f * frameHeight + y);
            int x = 0;
            while (x < width) {
                while (x < width && SamePixel(row + x * 3, base + x * 3))
                    ++x;
                if (x == width)
                    break;
                const int start = x;
                int end = x + 1; // one past the last differing pixel so far
                for (int probe = end; probe < width && probe < end + MergeGap; ++probe) {
                    if (!SamePixel(row + probe * 3, base + probe * 3))
                        end = probe + 1;
                }
                const std::size_t pixel = (data.pixels.size() - frameStart) / 3;
                if (pixel > UINT16_MAX || data.pixels.size() > UINT32_MAX - std::size_t(width) * 3)
                    return false;
                data.runs.push_back(Run{std::uint16_t(y), std::uint16_t(start),
                                        std::uint16_t(end - start), std::uint16_t(pixel)});
                data.pixels.insert(data.pixels.end(), row + start * 3, row + end * 3);
                x = end;
            }
        }
    }
    data.frameRuns.push_back(std::uint32_t(data.runs.size()));
    return true;
}

int DeltaStrip::Width() const
{
    return m_data ? m_data->first.Width() : 0;
}

int DeltaStrip::FrameHeight() const
{
    return m_data ? m_data->frameHeight : 0;
}

int DeltaStrip::Frames() const
{
    return m_data ? m_data->frames : 0;
}

std::int64_t DeltaStrip::ByteSize() const
{
    if (!m_data)
        return 0;
    return m_data->first.ByteSize() + std::int64_t(m_data->runs.size() * sizeof(Run)) +
           std::int64_t(m_data->pixels.size()) +
           std::int64_t((m_data->frameRuns.size() + m_data->framePixels.size()) *
                        sizeof(std::uint32_t));
}

void DeltaStrip::ComposeRow(int frame, int y, int x, int count, std::uint8_t* out) const
{
    const Data& d = *m_data;
    const int row = d.whole ? frame * d.frameHeight + y : y;
    std::memcpy(out, d.first.Row(row) + x * 3, std::size_t(count) * 3);
    if (d.whole)
        return;
    const Run* begin = d.runs.data() + d.frameRuns[std::size_t(frame)];
    const Run* end = d.runs.data() + d.frameRuns[std::size_t(frame) + 1];
    const Run* run = std::lower_bound(begin, end, y, [](const Run& r, int row) { return r.row < row; });
    const std::uint8_t* pixels = d.pixels.data() + d.framePixels[std::size_t(frame)];
    const int right = x + count;
    for (; run != end && run->row == y; ++run) {
        const int from = std::max<int>(run->x, x);
        const int to = std::min<int>(run->x + run->length, right);
        if (from < to)
            std::memcpy(out + (from - x) * 3,
                        pixels + (std::size_t(run->pixel) + std::size_t(from - run->x)) * 3,
                        std::size_t(to - from) * 3);
    }
}

Bitmap24 DeltaStrip::Frame(int frame) const
{
    if (!m_data)
        return {};
    Bitmap24 out(Width(), FrameHeight());
    for (int y = 0; y < FrameHeight(); ++y)
        ComposeRow(frame, y, 0, Width(), out.Row(y));
    return out;
}
