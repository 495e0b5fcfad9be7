// Paging rows back from an open run file: the newest run of "temp.csv" while it
// grows, and sample-number ranges of the backup file across its runs.
#include <QtTest>

#include "test_home.h"
#include <QTemporaryDir>
#include <cmath>
#include <random>

#include "RowIndex.h"
#include "Utility.h"
#include "test_utility_support.h"

class TestUtilityPaging : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString backupPath;
    QByteArray backup;

    QString path(const QString &name) const { return dir.filePath(name); }
    static std::vector<double> range(int first, int last)
    {
        std::vector<double> v;
        for (int i = first; i <= last; ++i)
            v.push_back(i);
        return v;
    }
    static double valueA(int sample, int firstSample) { return double(((sample - firstSample) * 37) % 2000 - 1000); }

private slots:
    void initTestCase()
    {
        // Two runs of 100 rows, samples 1-100 and 101-200, as the backup file holds them.
        QVector<LoggerData *> runs{newRun(1, 100), newRun(101, 100)};
        backupPath = path("backup.csv");
        QCOMPARE(Utility::SaveToCSVFormat(backupPath, &runs, false), 0);
        backup = fileBytes(backupPath);
        DeleteRuns(runs);
    }

    void byRunFromSkipCount()
    {
        QFile *file = Utility::OpenFile(backupPath, true);   // the backup is kept open for appending
        QVERIFY(file);
        const qint64 endPos = file->pos();
        QVector<LoggerData *> list{newRun(1, 0), newRun(101, 0)};
        qint64 pos = 0;
        // Second run, from sample 150 (skip = 5 + 113 + 49 + 1), up to sample 160.
        QCOMPARE(Utility::ReadSamplesFromFile(file, pos, 168, 160, &list, true, 1), 11);
        QVERIFY(list[0]->chA.values->xValues.empty());
        QCOMPARE(list[1]->chA.values->xValues, range(150, 160));
        QCOMPARE(list[1]->chB.values->xValues, range(150, 160));
        QCOMPARE(list[1]->chA.values->yValues.front(), valueA(150, 101));
        QCOMPARE(list[1]->memo, std::vector<QString>(11));
        // The row that stopped the reading is where the next read begins.
        QCOMPARE(pos, qint64(backup.indexOf("\n161,") + 1));
        QCOMPARE(file->pos(), endPos);

        // Appends still go to the end.
        QCOMPARE(Utility::SaveStopInfo(file, list[0]), 0);
        QVERIFY(fileBytes(backupPath).startsWith(backup));
        QVERIFY(fileBytes(backupPath).size() > backup.size());
        delete file;
        QVERIFY(writeBytes(backupPath, backup));
        DeleteRuns(list);
    }

    void byRunAcrossRunHeaders()
    {
        QFile file(backupPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVector<LoggerData *> list{newRun(1, 0), newRun(101, 0)};
        qint64 pos = 0;
        // From sample 90 of the first run on into the second, up to sample 110.
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 5 + 89 + 1, 110, &list, true, 0), 21);
        QCOMPARE(list[0]->chA.values->xValues, range(90, 100));
        QCOMPARE(list[1]->chA.values->xValues, range(101, 110));
        QCOMPARE(list[1]->chA.values->yValues.front(), valueA(101, 101));
        QCOMPARE(pos, qint64(backup.indexOf("\n111,") + 1));
        DeleteRuns(list);

        // From the first row (skip the five start lines) to sample 5.
        list = {newRun(1, 0), newRun(101, 0)};
        pos = 0;
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 6, 5, &list, true, 0), 5);
        QCOMPARE(list[0]->chA.values->xValues, range(1, 5));
        DeleteRuns(list);

        // A run's start with no run left in the list ends the reading before it.
        list = {newRun(1, 0)};
        pos = 0;
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 5 + 95, 1000, &list, true, 0), 6);
        QCOMPARE(list[0]->chA.values->xValues, range(95, 100));
        QCOMPARE(pos, qint64(backup.indexOf("Start Date:", 10)));
        QCOMPARE(file.pos(), qint64(0));
        DeleteRuns(list);

        // A row without its sample number is no row, in either mode, and no run's header.
        QVERIFY(writeBytes(path("nonumber.csv"), "1,10,20, \n,11,21, \n2,12,22, \n"));
        QFile rows(path("nonumber.csv"));
        QVERIFY(rows.open(QIODevice::ReadOnly));
        for (const bool byRun : {true, false}) {
            list = {newRun(1, 0), newRun(101, 0)};
            pos = 0;
            QCOMPARE(Utility::ReadSamplesFromFile(&rows, pos, 0, 100, &list, byRun, 0), 2);
            const LoggerData *run = list[byRun ? 0 : 1];   // the newest run when not by run
            QCOMPARE(run->chA.values->xValues, range(1, 2));
            QCOMPARE(run->chB.values->yValues, (std::vector<double>{20, 22}));
            QVERIFY(list[byRun ? 1 : 0]->chA.values->xValues.empty());
            DeleteRuns(list);
        }
    }

    // temp.csv: the run control appends blocks and the drawing tick pages them
    // back from the same open file.
    void newestRunWhileTheFileGrows()
    {
        QFile *temp = Utility::OpenFile(path("temp.csv"), false);
        QVERIFY(temp);
        QVector<LoggerData *> list{newRun(1, 0), newRun(1, 0)};
        qint64 pos = 0;
        LoggerData *block = newRun(1, 30);
        QCOMPARE(Utility::SaveLoggerData(temp, block->chA.values, block->chB.values, block->memo, 30), 0);
        QCOMPARE(Utility::ReadSamplesFromFile(temp, pos, 0, 20, &list, false, 0), 20);
        QCOMPARE(Utility::ReadSamplesFromFile(temp, pos, 0, 20, &list, false, 0), 10);
        QCOMPARE(Utility::ReadSamplesFromFile(temp, pos, 0, 20, &list, false, 0), 0);
        LoggerData *next = newRun(31, 5);
        QCOMPARE(Utility::SaveLoggerData(temp, next->chA.values, next->chB.values, next->memo, 5), 0);
        QCOMPARE(Utility::ReadSamplesFromFile(temp, pos, 0, 10000, &list, false, 0), 5);
        QVERIFY(list[0]->chA.values->xValues.empty());   // only the newest run receives rows
        QCOMPARE(list[1]->chA.values->xValues, range(1, 35));
        QCOMPARE(list[1]->chB.values->yValues[31], next->chB.values->yValues[1]);
        QCOMPARE(list[1]->memo.size(), size_t(35));
        QVERIFY(list[1]->memo[0].isEmpty());
        QCOMPARE(pos, temp->size());
        QCOMPARE(temp->pos(), temp->size());
        QVector<LoggerData *> blocks{block, next};
        DeleteRuns(blocks);
        DeleteRuns(list);
        delete temp;
    }

    void newestRunLineRules()
    {
        const QByteArray text = "1,10,20, \n2,11,21,memo\nshort\n3,,22, \n4,13,23, \n\n5,14,24, \n6,15,25";
        QVERIFY(writeBytes(path("rows.csv"), text));
        QFile file(path("rows.csv"));
        QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Append));
        QVERIFY(file.seek(3));
        QVector<LoggerData *> list{newRun(1, 0)};
        qint64 pos = 0;
        // A short line is passed over but counts; so is a row whose columns are unlike the run's.
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 0, 4, &list, false, 0), 2);
        QCOMPARE(list[0]->chA.values->xValues, (std::vector<double>{1, 2}));
        QCOMPARE(list[0]->chA.values->yValues, (std::vector<double>{10, 11}));
        QCOMPARE(list[0]->chB.values->yValues, (std::vector<double>{20, 21}));
        QCOMPARE(file.pos(), qint64(3));
        // An empty line ends the data; the reading stays before it.
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 0, 100, &list, false, 0), 1);
        QCOMPARE(pos, qint64(text.indexOf("\n\n") + 1));
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 0, 100, &list, false, 0), 0);
        // Past it, a last line without its line feed is not read until complete.
        pos += 1;
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 0, 100, &list, false, 0), 1);
        const qint64 before = pos;
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 0, 100, &list, false, 0), 0);
        QCOMPARE(pos, before);
        QVERIFY(file.write(", \n") == 3 && file.flush());
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 0, 100, &list, false, 0), 1);
        QCOMPARE(list[0]->chB.values->yValues.back(), 25.0);
        QCOMPARE(list[0]->chA.values->xValues.size(), size_t(5));
        // Skip counts drop (count - 1) lines; 0 and 1 drop none.
        pos = 0;
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 1, 1, &list, false, 0), 1);
        QCOMPARE(list[0]->chA.values->xValues.back(), 1.0);
        pos = 0;
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 3, 1, &list, false, 0), 0);   // "short"
        QCOMPARE(pos, qint64(text.indexOf("3,,")));
        DeleteRuns(list);
    }

    // Rows handed over in memory: the writer gives back exactly the bytes it wrote, and
    // paging them gives the rows, values and positions that paging the file gives.
    void rowsInMemoryPageAsTheFile()
    {
        QFile *temp = Utility::OpenFile(path("temp_mem.csv"), false);
        QVERIFY(temp);
        LoggerData *block = newRun(1, 100);
        for (double &y : block->chA.values->yValues)
            y = y * 9.765625 + 0.125;   // decimals, ties of the sixth digit among them
        QByteArray memory;
        QCOMPARE(Utility::SaveLoggerData(temp, block->chA.values, block->chB.values, block->memo, 100, &memory), 0);
        QCOMPARE(memory, fileBytes(path("temp_mem.csv")));
        memory += "101,5,6";   // a row still being written
        QVERIFY(temp->write("101,5,6") == 7 && temp->flush());
        QVector<LoggerData *> fromFile{newRun(1, 0)}, fromMemory{newRun(1, 0)};
        qint64 filePos = 0, memoryPos = 0;
        for (int count : {7, 30, 1, 10000, 10000}) {
            QCOMPARE(Utility::ReadSamplesFromBytes(memory, memoryPos, count, &fromMemory),
                     Utility::ReadSamplesFromFile(temp, filePos, 0, count, &fromFile, false, 0));
            QCOMPARE(memoryPos, filePos);
        }
        QCOMPARE(fromMemory[0]->chA.values->xValues, range(1, 100));
        QCOMPARE(fromMemory[0]->chA.values->yValues, fromFile[0]->chA.values->yValues);
        QCOMPARE(fromMemory[0]->chB.values->yValues, fromFile[0]->chB.values->yValues);
        fromFile << block;
        DeleteRuns(fromFile);
        DeleteRuns(fromMemory);
        delete temp;
    }

    // The drawing tick pages the newest rows of "temp.csv" from memory, also after far more
    // than the bound kept has been written; rows that fell out of it while the drawing was
    // behind come from the file. Either way the rows are the file's, each once, in order.
    void newestRowsPageFromMemoryPastTheBound()
    {
        QFile *temp = Utility::OpenFile(path("temp_window.csv"), false);
        QVERIFY(temp);
        constexpr int Bound = 4096;   // about 150 rows
        RowWindow window(Bound);
        QVector<LoggerData *> paged{newRun(1, 0)}, fromFile{newRun(1, 0)};
        QVector<LoggerData *> blocks;
        qint64 pos = 0, filePos = 0;
        int next = 1;
        auto write = [&](int rows) {
            LoggerData *block = newRun(next, rows);
            blocks << block;
            next += rows;
            QByteArray written;
            QCOMPARE(Utility::SaveLoggerData(temp, block->chA.values, block->chB.values, block->memo, rows,
                                             window.Keeping() ? &written : nullptr), 0);
            window.Append(written);
            QVERIFY(window.KeptBytes() <= Bound);
        };
        // Keeping up: no file at all is needed, long past the bound.
        for (int i = 0; i < 40; ++i) {
            write(20);
            QCOMPARE(window.Read(nullptr, pos, 10000, &paged), 20);
        }
        // Far behind: the oldest rows come from the file, then memory takes over again.
        for (int i = 0; i < 30; ++i)
            write(20);
        QVERIFY(window.Read(temp, pos, 100, &paged) == 100 && pos > 0);
        while (window.Read(temp, pos, 100, &paged) > 0) {
        }
        write(20);
        QCOMPARE(window.Read(nullptr, pos, 10000, &paged), 20);
        QCOMPARE(pos, temp->size());
        while (Utility::ReadSamplesFromFile(temp, filePos, 0, 1000, &fromFile, false, 0) > 0) {
        }
        QCOMPARE(paged[0]->chA.values->xValues, range(1, next - 1));
        QCOMPARE(paged[0]->chA.values->yValues, fromFile[0]->chA.values->yValues);
        QCOMPARE(paged[0]->chB.values->yValues, fromFile[0]->chB.values->yValues);
        // After a failed write what reached the file is not known: the file is read.
        window.Abandon();
        write(5);
        QCOMPARE(window.Read(nullptr, pos, 100, &paged), 0);
        QCOMPARE(window.Read(temp, pos, 100, &paged), 5);
        DeleteRuns(blocks);
        DeleteRuns(paged);
        DeleteRuns(fromFile);
        delete temp;
    }

    void nothingToDo()
    {
        QFile file(backupPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVector<LoggerData *> list{newRun(1, 0)};
        QVector<LoggerData *> none;
        qint64 pos = 0;
        QCOMPARE(Utility::ReadSamplesFromFile(nullptr, pos, 6, 10, &list, false, 0), 0);
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 6, 10, nullptr, false, 0), 0);
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 6, 10, &none, false, 0), 0);
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 6, 0, &list, false, 0), 0);
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 6, 10, &list, true, 1), 0);
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 6, 10, &list, true, -1), 0);
        pos = -5;
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 6, 10, &list, false, 0), 0);
        QCOMPARE(pos, qint64(-5));
        pos = backup.size() + 100;   // beyond the end
        QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 0, 10, &list, false, 0), 0);
        QCOMPARE(pos, qint64(backup.size() + 100));
        QVERIFY(list[0]->chA.values->xValues.empty());
        QFile closed(backupPath);
        pos = 0;
        QCOMPARE(Utility::ReadSamplesFromFile(&closed, pos, 6, 10, &list, false, 0), 0);
        DeleteRuns(list);
    }
};

ZR_TEST_GUILESS_MAIN(TestUtilityPaging)
#include "test_utility_paging.moc"
