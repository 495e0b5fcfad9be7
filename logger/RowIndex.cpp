#include "RowIndex.h"

#include <QFile>
#include <algorithm>

void RowIndex::Reset()
{
    runs.clear();
    scanned = 0;
    inRows = false;
}

bool RowIndex::Update(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() < scanned)   // emptied behind our back: start again
        Reset();
    if (!file.seek(scanned))
        return false;

    QByteArray line;
    qint64 pos = scanned;
    for (;;) {
        line = file.readLine(1 << 16);
        if (line.isEmpty())
            break;
        if (!line.endsWith('\n')) {
            if (line.size() == (1 << 16)) {   // an overlong line: skip it whole
                while (!line.isEmpty() && !line.endsWith('\n'))
                    line = file.readLine(1 << 16);
                pos = file.pos();
                scanned = pos;
                continue;
            }
            break;   // still being written: index it next time
        }
        const qint64 lineStart = pos;
        pos += line.size();
        scanned = pos;

        if (line.startsWith("Sample Number")) {
            runs.emplace_back();
            inRows = true;
            continue;
        }
        if (!inRows)
            continue;
        if (line.startsWith("Stop Date:")) {
            inRows = false;
            continue;
        }
        const int comma = line.indexOf(',');
        if (comma <= 0)   // the empty line after the rows, or junk
            continue;
        bool ok = false;
        const qint64 sampleNo = line.left(comma).trimmed().toLongLong(&ok);
        if (ok)
            AddRow(sampleNo, lineStart);
    }
    return true;
}

void RowIndex::AddRow(qint64 sampleNo, qint64 pos)
{
    Run &run = runs.back();
    if (run.rows % CheckpointRows == 0)
        run.checkpoints.push_back({sampleNo, pos});
    if (run.firstRowPos < 0)
        run.firstRowPos = pos;
    ++run.rows;
    run.lastSampleNo = sampleNo;
}

bool RowIndex::Locate(const QString &path, qint64 first, int &runIndex, qint64 &pos) const
{
    for (size_t r = 0; r < runs.size(); ++r) {
        const Run &run = runs[r];
        if (run.rows == 0 || run.lastSampleNo < first)
            continue;
        runIndex = int(r);
        // The last checkpoint at or before `first`; from there a short forward read
        // (at most CheckpointRows lines) finds the row itself.
        auto it = std::upper_bound(run.checkpoints.begin(), run.checkpoints.end(), first,
                                   [](qint64 v, const Checkpoint &c) { return v < c.sampleNo; });
        pos = it == run.checkpoints.begin() ? run.firstRowPos : std::prev(it)->pos;
        if (it == run.checkpoints.begin())
            return true;   // `first` lies at or before the run's first row
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !file.seek(pos))
            return true;
        for (int i = 0; i <= CheckpointRows; ++i) {
            const qint64 at = file.pos();
            const QByteArray line = file.readLine(1 << 16);
            const int comma = line.indexOf(',');
            bool ok = false;
            const qint64 sampleNo = comma > 0 ? line.left(comma).trimmed().toLongLong(&ok) : 0;
            if (line.isEmpty() || !ok || sampleNo >= first) {
                pos = at;
                return true;
            }
        }
        return true;
    }
    return false;
}
