#include "chart.h"

#include "formats.h"
#include "vb.h"

#include <algorithm>
#include <cmath>

using vb::Left;
using vb::Mid;
using vb::Right;
using vb::Trim;

namespace chart {

namespace {

// The room every bar's step adds to its width, whatever the number of bars.
constexpr double kDesignGap = 44;
const Rgb kBlankTenorFill{255, 255, 100};

int twip(double v) {
    return static_cast<int>(std::lround(v));
}

// The list shows rates with the regional decimal comma; the leading-number conversion reads only ".".
double rateValue(QString text) {
    const qsizetype comma = vb::InStr(text, QStringLiteral(","));
    if (comma >= 2)
        text = Left(text, comma - 1) + u'.' + Mid(text, comma + 1);
    else if (comma == 1)
        text = QStringLiteral("0.") + Mid(text, 2);
    return vb::Val(text);
}

struct Spacing {
    double width = 0;
    double pitch = 0;
};

Spacing designSpacing(int n, double frameWidth) {
    const double gap = n < 30 ? 48 : 43;
    const double w = (frameWidth - gap * n) / n - (n < 20 ? 20 : 10);
    return {w, w + kDesignGap};
}

// The regular spacing is kept while every bar is at least a pixel wide and the last one starts a pixel
// before the frame's right edge. (With one to three bars the rule lets the last bar run up to 52 twips
// past the edge; the frame clips that.)
bool fitsDesign(int n, const ChartInput& in) {
    const Spacing s = designSpacing(n, in.frameWidth);
    return s.width >= kMinBar && in.barLeft + s.pitch * (n - 1) + kMinBar <= in.frameWidth;
}

// Bars of one pixel with gaps of at least one pixel, kept within the same margin on the right as on the
// left.
double narrowRoom(const ChartInput& in) {
    return in.frameWidth - 2.0 * in.barLeft;
}

int narrowCapacity(const ChartInput& in) {
    const double room = narrowRoom(in);
    return room < kMinBar ? 0 : static_cast<int>(std::floor((room + kMinBar) / (2 * kMinBar)));
}

Spacing narrowSpacing(int n, const ChartInput& in) {
    double gap = kDesignGap;
    if (n > 1)
        gap = std::min(kDesignGap, (narrowRoom(in) - kMinBar * n) / (n - 1));
    return {kMinBar, kMinBar + gap};
}

QString caption(const QString& date, int n) {
    if (n <= 12)
        return date.leftJustified(10);
    if (n <= 15)
        return Left(date, 5).leftJustified(5);
    if (n <= 69)
        return Left(date, 2).leftJustified(2);
    return {};
}

struct Picked {
    QString date;
    double value;
};

std::vector<Picked> selectLines(const ChartInput& in) {
    const QString tenor = formats::tenorKey(Trim(in.tenorText));
    const QString from = Trim(in.fromText);
    const QString to = Trim(in.toText);
    const bool dated = !from.isEmpty() && !to.isEmpty();
    const QString startKey = dated ? formats::dateKey(from) : QString();
    const QString endKey = dated ? formats::dateKey(to) : QString();

    std::vector<Picked> picked;
    for (const QString& item : in.lines) {
        if (Trim(item).isEmpty())
            continue;
        if (dated) {
            const QString key = formats::dateKey(Left(item, 10));
            if (key < startKey || key > endKey)
                continue;
        }
        // Keys of up to 13 characters, whether the rate text before them has five or six.
        if (formats::lineTenorKey(item) != tenor)
            continue;
        picked.push_back({Mid(item, 1, 10), rateValue(Mid(item, 13, 7))});
    }
    return picked;
}

} // namespace

ChartResult computeChart(const ChartInput& in) {
    ChartResult r;
    std::vector<Picked> picked = selectLines(in);
    r.selected = static_cast<int>(picked.size());

    // The list is oldest first: when lines must go, the oldest go.
    auto keepNewest = [&picked](std::size_t count) {
        if (picked.size() > count)
            picked.erase(picked.begin(), picked.end() - static_cast<std::ptrdiff_t>(count));
    };
    keepNewest(kMaxBars);

    int n = static_cast<int>(picked.size());
    Spacing spacing;
    if (n > 0 && fitsDesign(n, in)) {
        spacing = designSpacing(n, in.frameWidth);
    } else if (n > 0) {
        keepNewest(static_cast<std::size_t>(narrowCapacity(in)));
        n = static_cast<int>(picked.size());
        spacing = narrowSpacing(n, in);
    }
    if (n > 0) {
        r.barWidth = spacing.width;
        r.pitch = spacing.pitch;
    }

    for (const Picked& p : picked)
        r.chartMax = std::max(r.chartMax, p.value);

    const std::optional<Rgb> fill =
        Trim(in.tenorText).isEmpty() ? std::optional<Rgb>(kBlankTenorFill) : std::nullopt;
    r.bars.reserve(picked.size());
    for (int i = 0; i < n; ++i) {
        ChartBar b;
        b.date = picked[i].date;
        b.value = picked[i].value;
        // No rate above zero: nothing to scale by, every bar stays uncovered. The share is taken first so
        // that the largest rate gives exactly 30.
        if (r.chartMax > 0)
            b.cover = std::clamp(530.0 - 500.0 * (b.value / r.chartMax), 0.0, 100.0);
        b.left = twip(in.barLeft + spacing.pitch * i);
        b.top = in.barTop - 70;
        b.width = twip(spacing.width);
        b.height = in.barHeight;
        b.coverHeight = twip(in.barHeight * b.cover / 100.0);
        b.fill = fill;
        b.caption = caption(b.date, n);
        b.labelLeft = b.left;
        b.labelTop = in.frameHeight - 180;
        r.bars.push_back(std::move(b));
    }

    const double h = in.barHeight;
    const std::array<double, 3> offsets{h / 4, h / 2, h / 2 + h / 4};
    const std::array<QString, 3> captions{QStringLiteral("75%"), QStringLiteral("50%"),
                                          QStringLiteral("25%")};
    for (std::size_t k = 0; k < 3; ++k) {
        GridLine& g = r.grid[k];
        g.y = twip(in.barTop + offsets[k]);
        g.x1 = 50;
        g.x2 = in.frameWidth - 100;
        g.caption = captions[k];
        g.labelLeft = in.frameWidth - in.gridLabelWidth + 10;
        g.labelTop = g.y;
    }
    return r;
}

} // namespace chart
