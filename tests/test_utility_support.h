// Shared helpers of the logger file tests.
#pragma once

#include "LoggerData.h"

#include <QFile>
#include <QString>
#include <QVector>

inline LoggerData *newRun(int firstSample, int rows, bool chAOn = true, bool chBOn = true)
{
    auto *run = new LoggerData;
    run->firstSampleNo = firstSample;
    run->startDate = QStringLiteral("03/04/2024");
    run->startTime = QStringLiteral("09:15:00 AM");
    run->stopDate = QStringLiteral("03/04/2024");
    run->stopTime = QStringLiteral("09:16:40 AM");
    run->sampleInterval = 1.0;
    run->intervalUnit = MilliSeconds;
    run->dataUnit = QStringLiteral("mV");
    run->chA.values = new DataValues;
    run->chB.values = new DataValues;
    for (int i = 0; i < rows; ++i) {
        const double x = firstSample + i;
        run->chA.values->xValues.push_back(x);
        run->chB.values->xValues.push_back(x);
        if (chAOn)
            run->chA.values->yValues.push_back(double((i * 37) % 2000 - 1000));
        if (chBOn)
            run->chB.values->yValues.push_back(double((i * 53) % 900 - 450));
        run->memo.push_back(QStringLiteral(" "));
    }
    run->chA.totalSamples = chAOn ? rows : 0;
    run->chB.totalSamples = chBOn ? rows : 0;
    run->chA.minValue = -1000;
    run->chA.maxValue = 999;
    run->chB.minValue = -450;
    run->chB.maxValue = 449;
    run->chA.missedSamples = 2;
    run->chB.missedSamples = 0;
    return run;
}


inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
