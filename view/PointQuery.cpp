#include "PointQuery.h"

#include <algorithm>
#include <cmath>

#include "SinceTime.h"
#include "Text8.h"

namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Appends a text's case-folded form: ASCII folded by hand (the common case, and quick),
// anything else read as the viewer shows it and folded by Qt, as UTF-8.
void AppendFolded(std::string& out, std::string_view text) {
    if (IsAscii(text)) {
        const std::size_t at = out.size();
        out += text;
        std::transform(out.begin() + static_cast<std::ptrdiff_t>(at), out.end(),
                       out.begin() + static_cast<std::ptrdiff_t>(at), FoldAscii);
        return;
    }
    out += FromText8(std::string(text)).toCaseFolded().toStdString();
}

// Positions compare with NaN (a damaged file) before every number, so sorting stays ordered.
bool LessPosition(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) {
        return std::isnan(a) && !std::isnan(b);
    }
    return a < b;
}

// The folded texts of every point, back to back, with their starts (3 per point, then the end).
struct FoldedTexts {
    std::string bytes;
    std::vector<std::uint64_t> start;

    std::string_view text(int i, int field) const {
        const std::size_t k = static_cast<std::size_t>(i) * 3 + static_cast<std::size_t>(field);
        return std::string_view(bytes).substr(start[k], start[k + 1] - start[k]);
    }
};

FoldedTexts FoldAll(const PointSnapshot& points, bool allFields, int onlyField) {
    FoldedTexts out;
    const int n = points.count();
    out.start.reserve(static_cast<std::size_t>(n) * 3 + 1);
    for (int i = 0; i < n; ++i) {
        for (int f = 0; f < 3; ++f) {
            out.start.push_back(out.bytes.size());
            if (allFields || f == onlyField) {
                AppendFolded(out.bytes, points.text(i, f));
            }
        }
    }
    out.start.push_back(out.bytes.size());
    return out;
}

int TextField(PointColumn column) {
    return column == PointColumn::Memo ? 1 : 0;
}

} // namespace

bool PointSnapshot::NeedsTexts(const PointFilter& filter, const PointOrder& order) {
    return !filter.text.isEmpty() ||
           (!order.listOrder &&
            (order.column == PointColumn::Label || order.column == PointColumn::Memo));
}

PointSnapshot PointSnapshot::Take(const PointList& list, std::int64_t now, bool withTexts) {
    PointSnapshot s;
    const std::size_t n = static_cast<std::size_t>(list.count());
    const std::vector<PointRecord>& recs = list.points();
    const std::vector<std::string>* fields[3] = {&list.labels(), &list.memos(), &list.sinceTexts()};
    if (withTexts) {
        std::size_t bytes = 0;
        for (const std::vector<std::string>* f : fields) {
            for (const std::string& t : *f) {
                bytes += t.size();
            }
        }
        s.m_texts.reserve(bytes);
        s.m_start.reserve(n * 3 + 1);
    } else {
        s.m_start.assign(n * 3 + 1, 0); // every text empty
    }
    s.m_x.resize(n);
    s.m_y.resize(n);
    s.m_since.resize(n);
    s.m_flags.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (withTexts) {
            for (const std::vector<std::string>* f : fields) {
                s.m_start.push_back(s.m_texts.size());
                s.m_texts += (*f)[i];
            }
        }
        const PointRecord& r = recs[i];
        s.m_x[i] = r.dX;
        s.m_y[i] = r.dY;
        s.m_since[i] = r.bSinceDate != 0 ? SinceInstant(r.stSince) : 0;
        s.m_flags[i] = static_cast<std::uint8_t>((IsDue(r, now) ? kDue : 0) |
                                                 (r.bSinceDate != 0 ? kHasSince : 0));
    }
    if (withTexts) {
        s.m_start.push_back(s.m_texts.size());
    }
    return s;
}

std::string_view PointSnapshot::text(int i, int field) const {
    const std::size_t k = static_cast<std::size_t>(i) * 3 + static_cast<std::size_t>(field);
    return std::string_view(m_texts).substr(m_start[k], m_start[k + 1] - m_start[k]);
}

std::vector<int> QueryPoints(const PointSnapshot& points, const PointFilter& filter,
                             const PointOrder& order) {
    const int n = points.count();
    const bool byText =
        !order.listOrder && (order.column == PointColumn::Label || order.column == PointColumn::Memo);
    const bool filterText = !filter.text.isEmpty();
    // Fold once what is needed: every text for a filter, else only the sorted column's.
    FoldedTexts folded;
    if (filterText || byText) {
        folded = FoldAll(points, filterText, TextField(order.column));
    }

    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(n));
    const std::string needle = filter.text.toCaseFolded().toStdString();
    for (int i = 0; i < n; ++i) {
        if (filter.dueOnly && !points.due(i)) {
            continue;
        }
        if (filterText && folded.text(i, 0).find(needle) == std::string_view::npos &&
            folded.text(i, 1).find(needle) == std::string_view::npos &&
            folded.text(i, 2).find(needle) == std::string_view::npos) {
            continue;
        }
        rows.push_back(i);
    }
    if (order.listOrder) {
        return rows;
    }

    // Ascending by key; descending reverses the keys, never the list order of equal ones.
    const auto sortBy = [&](auto less) {
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
            return order.descending ? less(b, a) : less(a, b);
        });
    };
    switch (order.column) {
    case PointColumn::Label:
    case PointColumn::Memo: {
        const int f = TextField(order.column);
        sortBy([&](int a, int b) { return folded.text(a, f) < folded.text(b, f); });
        break;
    }
    case PointColumn::Since:
        // Points without a since date first.
        sortBy([&](int a, int b) {
            if (points.hasSince(a) != points.hasSince(b)) {
                return !points.hasSince(a);
            }
            return points.since(a) < points.since(b);
        });
        break;
    case PointColumn::Passed:
        sortBy([&](int a, int b) { return points.due(a) < points.due(b); });
        break;
    case PointColumn::X:
        sortBy([&](int a, int b) { return LessPosition(points.x(a), points.x(b)); });
        break;
    case PointColumn::Y:
        sortBy([&](int a, int b) { return LessPosition(points.y(a), points.y(b)); });
        break;
    }
    return rows;
}
