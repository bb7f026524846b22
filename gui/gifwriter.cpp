#include "gui/gifwriter.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace vyn {

namespace {

// The file, field by field: the header "GIF89a"; the logical screen (width, height,
// flags 0xF7 for a global table of 256 colours, background 0, aspect 0); the table,
// 256 RGB triples; for looping, the NETSCAPE2.0 application extension with a repeat
// count of 0 (forever); per frame a graphic control extension (disposal "leave in
// place", delay) and an image descriptor (left, top, width, height, no local table)
// followed by the LZW data: minimum code size 8 and sub-blocks of up to 255 bytes,
// ended by an empty one; the trailer 0x3B. Numbers are 16-bit little-endian.

struct ColourCount {
    QRgb rgb;
    int count;
};

int Channel(QRgb c, int ch) { return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c); }

// Median cut over the colours with their pixel counts: split the box with the widest
// channel range at its weighted median until there are 256 boxes or none can split.
std::vector<QRgb> ChoosePalette(std::vector<ColourCount> colours) {
    struct Box {
        std::size_t begin, end;
    };
    std::vector<Box> boxes{{0, colours.size()}};
    auto range = [&](const Box& b, int& channel) {
        int best = -1;
        for (int ch = 0; ch < 3; ++ch) {
            int lo = 255, hi = 0;
            for (std::size_t i = b.begin; i < b.end; ++i) {
                lo = std::min(lo, Channel(colours[i].rgb, ch));
                hi = std::max(hi, Channel(colours[i].rgb, ch));
            }
            if (hi - lo > best) {
                best = hi - lo;
                channel = ch;
            }
        }
        return best;
    };
    while (boxes.size() < 256) {
        int widest = 0, channel = 0;
        std::size_t pick = boxes.size();
        for (std::size_t k = 0; k < boxes.size(); ++k) {
            if (boxes[k].end - boxes[k].begin < 2) continue;
            int ch = 0;
            const int r = range(boxes[k], ch);
            if (r > widest) {
                widest = r;
                channel = ch;
                pick = k;
            }
        }
        if (pick == boxes.size()) break;
        Box& b = boxes[pick];
        std::sort(colours.begin() + static_cast<std::ptrdiff_t>(b.begin),
                  colours.begin() + static_cast<std::ptrdiff_t>(b.end),
                  [channel](const ColourCount& x, const ColourCount& y) {
                      return Channel(x.rgb, channel) < Channel(y.rgb, channel);
                  });
        long long total = 0;
        for (std::size_t i = b.begin; i < b.end; ++i) total += colours[i].count;
        long long half = 0;
        std::size_t cut = b.begin + 1;
        for (std::size_t i = b.begin; i < b.end - 1; ++i) {
            half += colours[i].count;
            cut = i + 1;
            if (half * 2 >= total) break;
        }
        const Box second{cut, b.end};
        b.end = cut;
        boxes.push_back(second);
    }
    std::vector<QRgb> palette;
    for (const Box& b : boxes) {
        if (b.begin == b.end) continue;
        long long r = 0, g = 0, bl = 0, n = 0;
        for (std::size_t i = b.begin; i < b.end; ++i) {
            const long long c = colours[i].count;
            r += qRed(colours[i].rgb) * c;
            g += qGreen(colours[i].rgb) * c;
            bl += qBlue(colours[i].rgb) * c;
            n += c;
        }
        palette.push_back(qRgb(static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(bl / n)));
    }
    return palette;
}

std::uint8_t Nearest(const std::vector<QRgb>& palette, QRgb c) {
    int best = 0;
    long long bestDistance = -1;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const long long dr = qRed(c) - qRed(palette[i]);
        const long long dg = qGreen(c) - qGreen(palette[i]);
        const long long db = qBlue(c) - qBlue(palette[i]);
        const long long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return static_cast<std::uint8_t>(best);
}

class CBitWriter {
public:
    explicit CBitWriter(QByteArray& out) : m_out(out) {}
    void Write(std::uint32_t code, int bits) {
        m_buffer |= code << m_bits;
        m_bits += bits;
        while (m_bits >= 8) {
            Byte(static_cast<char>(m_buffer & 0xFF));
            m_buffer >>= 8;
            m_bits -= 8;
        }
    }
    void Finish() {
        if (m_bits > 0) Byte(static_cast<char>(m_buffer & 0xFF));
        if (!m_block.isEmpty()) Flush();
        m_out.append('\0');
    }

private:
    void Byte(char b) {
        m_block.append(b);
        if (m_block.size() == 255) Flush();
    }
    void Flush() {
        m_out.append(static_cast<char>(m_block.size()));
        m_out.append(m_block);
        m_block.clear();
    }

    QByteArray& m_out;
    QByteArray m_block;
    std::uint32_t m_buffer = 0;
    int m_bits = 0;
};

// LZW with 8-bit symbols; the table restarts when it reaches 4095 codes.
void EncodeLzw(const std::vector<std::uint8_t>& pixels, QByteArray& out) {
    constexpr int kMinCodeSize = 8;
    constexpr std::uint32_t kClear = 1u << kMinCodeSize;
    out.append(static_cast<char>(kMinCodeSize));
    CBitWriter writer(out);
    std::vector<std::array<std::uint16_t, 256>> next(4096);
    auto reset = [&] {
        for (auto& row : next) row.fill(0);
    };
    reset();
    int codeSize = kMinCodeSize + 1;
    std::uint32_t maxCode = kClear + 1;
    writer.Write(kClear, codeSize);
    int current = -1;
    for (const std::uint8_t value : pixels) {
        if (current < 0) {
            current = value;
            continue;
        }
        const std::uint16_t found = next[static_cast<std::size_t>(current)][value];
        if (found != 0) {
            current = found;
            continue;
        }
        writer.Write(static_cast<std::uint32_t>(current), codeSize);
        next[static_cast<std::size_t>(current)][value] = static_cast<std::uint16_t>(++maxCode);
        if (maxCode >= (1u << codeSize)) ++codeSize;
        if (maxCode == 4095) {
            writer.Write(kClear, codeSize);
            reset();
            codeSize = kMinCodeSize + 1;
            maxCode = kClear + 1;
        }
        current = value;
    }
    if (current >= 0) writer.Write(static_cast<std::uint32_t>(current), codeSize);
    writer.Write(kClear, codeSize);
    writer.Write(kClear + 1, kMinCodeSize + 1);
    writer.Finish();
}

void Put16(QByteArray& out, int value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace

bool WriteAnimatedGif(const QString& path, const QList<CGifFrame>& frames, bool loop) {
    if (frames.isEmpty()) return false;
    const QSize size = frames.first().image.size();
    if (size.isEmpty() || size.width() > 0xFFFF || size.height() > 0xFFFF) return false;
    QList<QImage> images;
    for (const CGifFrame& frame : frames) {
        if (frame.image.size() != size) return false;
        images.append(frame.image.convertToFormat(QImage::Format_RGB32));
    }

    QHash<QRgb, int> counts;
    for (const QImage& image : images) {
        for (int y = 0; y < size.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < size.width(); ++x) ++counts[line[x] | 0xFF000000u];
        }
    }
    std::vector<ColourCount> colours;
    colours.reserve(static_cast<std::size_t>(counts.size()));
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) colours.push_back({it.key(), it.value()});
    std::sort(colours.begin(), colours.end(), [](const ColourCount& a, const ColourCount& b) { return a.rgb < b.rgb; });
    const std::vector<QRgb> palette = ChoosePalette(colours);
    QHash<QRgb, std::uint8_t> index;
    for (const ColourCount& c : colours) index.insert(c.rgb, Nearest(palette, c.rgb));

    QByteArray out("GIF89a");
    Put16(out, size.width());
    Put16(out, size.height());
    out.append(static_cast<char>(0xF7));
    out.append('\0');
    out.append('\0');
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(i)] : 0;
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
    if (loop) {
        out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        Put16(out, 0);
        out.append('\0');
    }

    const auto w = static_cast<std::size_t>(size.width());
    std::vector<std::vector<std::uint8_t>> indexed;
    for (const QImage& image : images) {
        std::vector<std::uint8_t> pixels(w * static_cast<std::size_t>(size.height()));
        for (int y = 0; y < size.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                pixels[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)] =
                    index.value(line[x] | 0xFF000000u);
            }
        }
        indexed.push_back(std::move(pixels));
    }

    for (std::size_t f = 0; f < indexed.size(); ++f) {
        const std::vector<std::uint8_t>& now = indexed[f];
        QRect changed(QPoint(0, 0), size);
        if (f > 0) {
            // Only what differs from the frame before; at least one pixel.
            const std::vector<std::uint8_t>& before = indexed[f - 1];
            int left = size.width(), top = size.height(), right = -1, bottom = -1;
            for (int y = 0; y < size.height(); ++y) {
                for (int x = 0; x < size.width(); ++x) {
                    const std::size_t i = static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x);
                    if (now[i] == before[i]) continue;
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
            changed = right < 0 ? QRect(0, 0, 1, 1) : QRect(QPoint(left, top), QPoint(right, bottom));
        }
        out.append("\x21\xF9\x04\x04", 4);
        Put16(out, std::clamp(frames[static_cast<qsizetype>(f)].delayCs, 0, 0xFFFF));
        out.append('\0');
        out.append('\0');
        out.append('\x2C');
        Put16(out, changed.x());
        Put16(out, changed.y());
        Put16(out, changed.width());
        Put16(out, changed.height());
        out.append('\0');
        std::vector<std::uint8_t> pixels;
        pixels.reserve(static_cast<std::size_t>(changed.width()) * static_cast<std::size_t>(changed.height()));
        for (int y = changed.top(); y <= changed.bottom(); ++y) {
            const auto* row = now.data() + static_cast<std::size_t>(y) * w;
            pixels.insert(pixels.end(), row + changed.left(), row + changed.right() + 1);
        }
        EncodeLzw(pixels, out);
    }
    out.append('\x3B');

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(out) == out.size() && file.flush();
}

}  // namespace vyn
