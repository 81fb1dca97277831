#include "ListCommands.h"

#include <QFileInfo>

#include <algorithm>
#include <string>
#include <vector>

#include "CsvWriter.h"
#include "ExitStatus.h"
#include "MapFiles.h"
#include "MapLocator.h"
#include "SinceTime.h"
#include "TextSink.h"

namespace {

// The column names of a row function, from a one-point list.
template <typename Fields> std::vector<std::string> ColumnNames(Fields fields) {
    PointList sample;
    sample.AddPoint(PointRecord{}, {}, {}, {});
    NameCollector names;
    fields(names, PointRow{{}, &sample, 0});
    return names.names;
}

const std::vector<std::string> kListTableColumns = {"index", "x",          "y",   "label",
                                                    "since", "since_text", "memo"};

// Loads the map of one list input; false (reported) when it is a failed input.
bool LoadInput(const QString& baseDir, const QString& input, MapTarget& target, PointList& list,
               TextSink& err) {
    target = LocateMap(baseDir, input);
    const FileResult result = LoadMapFile(target.mapPath, list);
    if (result.status == FileResult::Failed) {
        ReportError(err, result.message);
        return false;
    }
    if (result.status == FileResult::Absent && !FileExists(target.mapPath) &&
        (target.picturePath.empty() || !FileExists(target.picturePath))) {
        ReportError(err, LocalPath(input) + ": no such file, and no map for it");
        return false;
    }
    return true;
}

} // namespace

int RunList(const ListOptions& options, TextSink& out, TextSink& err) {
    const std::vector<std::string> names = ColumnNames(ListFields<NameCollector>);
    int status = kExitOk;
    const auto eachMap = [&](const auto& perMap) {
        for (const QString& input : options.inputs) {
            MapTarget target;
            PointList list;
            if (LoadInput(options.baseDir, input, target, list, err)) {
                perMap(target, list);
            } else {
                status = kExitFailed;
            }
        }
    };
    switch (options.format) {
    case OutputFormat::Csv: {
        // The concrete writer: CSV is the form that huge maps are listed in.
        CsvWriter writer(out);
        writer.begin(names);
        eachMap([&](const MapTarget& target, const PointList& list) {
            for (int i = 0; i < list.count(); ++i) {
                ListFields(writer, PointRow{target.mapPath, &list, i});
            }
        });
        writer.finish();
        break;
    }
    case OutputFormat::Json: {
        const std::unique_ptr<RowWriter> writer = RowWriter::Make(OutputFormat::Json, out);
        writer->begin(names);
        eachMap([&](const MapTarget& target, const PointList& list) {
            for (int i = 0; i < list.count(); ++i) {
                ListFields(*writer, PointRow{target.mapPath, &list, i});
            }
        });
        writer->finish();
        break;
    }
    case OutputFormat::Table:
        // One table per map, under a line naming it.
        eachMap([&](const MapTarget& target, const PointList& list) {
            out.write(target.mapPath + ": " + std::to_string(list.count()) +
                      (list.count() == 1 ? " point\n" : " points\n"));
            if (list.empty()) {
                return;
            }
            const std::unique_ptr<RowWriter> writer =
                RowWriter::Make(OutputFormat::Table, out, kListTableColumns);
            writer->begin(names);
            for (int i = 0; i < list.count(); ++i) {
                ListFields(*writer, PointRow{target.mapPath, &list, i});
            }
            writer->finish();
        });
        break;
    }
    return status;
}

int RunDue(const DueOptions& options, TextSink& out, TextSink& err) {
    std::vector<std::string> maps;
    std::string error;
    if (!MapsUnder(options.baseDir, maps, error)) {
        ReportError(err, error);
        return kExitFailed;
    }
    struct Due {
        std::int64_t instant;
        std::size_t map;
        int index;
    };
    int status = kExitOk;
    std::vector<PointList> lists(maps.size());
    std::vector<Due> due;
    for (std::size_t m = 0; m < maps.size(); ++m) {
        const FileResult result = LoadMapFile(maps[m], lists[m]);
        if (result.status == FileResult::Failed) {
            ReportError(err, result.message);
            status = kExitFailed;
            continue;
        }
        const std::size_t before = due.size();
        const std::vector<PointRecord>& points = lists[m].points();
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (IsDue(points[i], options.before)) {
                due.push_back({SinceInstant(points[i].stSince), m, static_cast<int>(i)});
            }
        }
        if (due.size() == before) {
            lists[m] = PointList(); // nothing of it is shown: keep memory to the due points
        }
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const Due& a, const Due& b) { return a.instant < b.instant; });

    const std::unique_ptr<RowWriter> writer = RowWriter::Make(options.format, out);
    writer->begin(ColumnNames(DueFields<NameCollector>));
    for (const Due& d : due) {
        DueFields(*writer, PointRow{maps[d.map], &lists[d.map], d.index});
    }
    writer->finish();
    return status;
}

int RunCheck(const CheckOptions& options, TextSink& out, TextSink& err) {
    std::vector<std::string> files;
    int status = kExitOk;
    if (options.files.isEmpty()) {
        std::string error;
        if (!MapsUnder(options.baseDir, files, error)) {
            ReportError(err, error);
            status = kExitFailed;
        }
        const std::string defaults = DefaultsPath(options.baseDir);
        if (FileExists(defaults)) {
            files.push_back(defaults);
        }
    } else {
        for (const QString& file : options.files) {
            files.push_back(LocalPath(file));
        }
    }
    for (const std::string& file : files) {
        if (!FileExists(file)) {
            ReportError(err, file + ": no such file");
            status = kExitFailed;
            continue;
        }
        const bool isDefaults =
            QFileInfo(QFile::decodeName(file.c_str())).fileName() == QLatin1String("Defaults.map");
        FileResult result;
        std::string what;
        if (isDefaults) {
            PointRecord rec{};
            result = LoadDefaultsFile(file, rec);
            what = "default look";
        } else {
            PointList list;
            result = LoadMapFile(file, list);
            what = std::to_string(list.count()) + (list.count() == 1 ? " point" : " points");
        }
        if (result.status == FileResult::Failed) {
            ReportError(err, result.message);
            status = kExitFailed;
            continue;
        }
        out.write(file + ": OK (" + what + ")\n");
    }
    return status;
}

void WriteListCsv(std::string_view mapName, const PointList& list, TextSink& out) {
    CsvWriter writer(out);
    writer.begin(ColumnNames(ListFields<NameCollector>));
    for (int i = 0; i < list.count(); ++i) {
        ListFields(writer, PointRow{mapName, &list, i});
    }
    writer.finish();
}
