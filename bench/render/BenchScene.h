// Point lists for the render benchmarks.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "PointList.h"

// Makes `r` flash: its since date long past, square and text flashing.
inline void MakeFlashing(PointRecord& r) {
    r.bSinceDate = 1;
    r.bFlashRect = 1;
    r.bFlashText = 1;
    r.stSince.wYear = 1850;
}

// The list of `points`, the i-th labelled "P<i>" with the since text "since P<i>", memos empty.
inline PointList LabelledList(std::vector<PointRecord> points) {
    std::vector<std::string> labels;
    std::vector<std::string> sinceTexts;
    labels.reserve(points.size());
    sinceTexts.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        char label[32];
        std::snprintf(label, sizeof label, "P%zu", i);
        labels.emplace_back(label);
        sinceTexts.emplace_back(std::string("since ") + label);
    }
    PointList list;
    const std::vector<std::string> memos(points.size());
    list.Assign(std::move(points), memos, std::move(labels), std::move(sinceTexts));
    return list;
}
