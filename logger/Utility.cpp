#include "Utility.h"

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <QFont>
#include <QLocale>
#include <QTime>
#include <qwt_plot_marker.h>
#include <qwt_text.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

// ---------------------------------------------------------------------------
// Writing

void appendInt(QByteArray &out, qint64 v)
{
    char buf[24];
    char *const end = buf + sizeof buf;
    char *p = end;
    quint64 u = v < 0 ? 0 - quint64(v) : quint64(v);
    do {
        *--p = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0)
        *--p = '-';
    out.append(p, int(end - p));
}

// True when v is exactly a decimal of seven significant digits ending in 5: a tie for
// six digits, which Qt rounds away from zero and to_chars to even.
bool tieAtSeventhDigit(double v)
{
    char shortest[32];
    const std::to_chars_result r = std::to_chars(shortest, shortest + sizeof shortest, v);
    int digits = 0, lastNonZero = 0;
    char last = 0;
    bool leading = true;
    for (const char *p = shortest; p < r.ptr && *p != 'e'; ++p) {
        if (*p < '0' || *p > '9' || (leading && *p == '0'))
            continue;
        leading = false;
        ++digits;
        if (*p != '0') {
            lastNonZero = digits;
            last = *p;
        }
    }
    if (lastNonZero != 7 || last != '5')
        return false;
    // The shortest text reads back as v; v is that decimal only when its exact expansion
    // stops there.
    char exact[64];
    std::to_chars(exact, exact + sizeof exact, v, std::chars_format::scientific, 40);
    const char *d = exact[0] == '-' ? exact + 1 : exact;   // "d.ddd...e+XX"
    for (int i = 2 + 6; i < 2 + 40; ++i)
        if (d[i] != '0')
            return false;
    return true;
}

// A double as a text stream writes it by default: the shorter of fixed and
// scientific notation with six significant digits. Whole values below a
// million come out the same as plain integers, which is the common case.
// Other finite values go through to_chars, rounded as Qt rounds (the files stay
// byte for byte what QByteArray::number wrote); zero, NaN and infinities through Qt.
void appendDouble(QByteArray &out, double v)
{
    if (v != 0.0 && std::fabs(v) < 1e6 && v == std::trunc(v)) {
        appendInt(out, qint64(v));
        return;
    }
    if (v == 0.0 || !std::isfinite(v)) {
        out += QByteArray::number(v, 'g', 6);
        return;
    }
    if (tieAtSeventhDigit(v))
        v = std::nextafter(v, v > 0 ? HUGE_VAL : -HUGE_VAL);
    char buf[32];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
    out.append(buf, int(r.ptr - buf));
}

// Sample numbers always as whole numbers: six significant digits would turn
// 1000000 into "1e+06", which reads back as an integer 0.
void appendWhole(QByteArray &out, double v)
{
    if (!std::isfinite(v) || std::fabs(v) >= 9.0e18) {
        out += '0';
        return;
    }
    appendInt(out, std::llround(v));
}

// A text field on one line: a line break inside would split the record.
QByteArray lineText(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains('\n') || bytes.contains('\r')) {
        bytes.replace('\n', ' ');
        bytes.replace('\r', ' ');
    }
    return bytes;
}

// A row's memo as written: the readers pass over lines longer than 64 KiB, so a row
// holding a longer memo would be lost when the file is read again. The memo is cut (at a
// character boundary) to leave room for the row's numbers.
QByteArray memoText(const QString &text)
{
    constexpr int MaxMemoBytes = 64 * 1024 - 128;
    QByteArray bytes = lineText(text);
    if (bytes.size() > MaxMemoBytes) {
        int cut = MaxMemoBytes;
        while (cut > 0 && (uchar(bytes[cut]) & 0xC0) == 0x80)   // not inside a UTF-8 sequence
            --cut;
        bytes.truncate(cut);
    }
    return bytes;
}

// One write and a flush, so that the bytes reach the file now and a full disk
// shows up here rather than at some later close.
int writeAll(QFile *file, const QByteArray &data)
{
    if (!file || !file->isOpen() || !file->isWritable())
        return 1;
    if (!data.isEmpty() && file->write(data) != data.size())
        return 1;
    return file->flush() ? 0 : 1;
}

int closeChecked(QFile *file)
{
    const bool flushed = file->flush();
    file->close();
    return (flushed && file->error() == QFileDevice::NoError) ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Reading

struct Field {
    const char *b = nullptr;
    const char *e = nullptr;
    bool empty() const { return b == e; }
    int size() const { return int(e - b); }
    bool is(const char *text) const
    {
        const size_t n = std::strlen(text);
        return size_t(e - b) == n && std::memcmp(b, text, n) == 0;
    }
    bool contains(const char *text) const
    {
        const size_t n = std::strlen(text);
        for (const char *p = b; size_t(e - p) >= n; ++p)
            if (std::memcmp(p, text, n) == 0)
                return true;
        return false;
    }
    QString toText() const { return QString::fromUtf8(b, size()); }
};

// Splits at "," keeping empty fields. Fills at most maxFields and returns the
// full count of fields of the line.
int splitFields(const char *b, const char *e, Field *fields, int maxFields)
{
    int n = 0;
    const char *start = b;
    for (;;) {
        const char *comma = static_cast<const char *>(std::memchr(start, ',', size_t(e - start)));
        const char *fieldEnd = comma ? comma : e;
        if (n < maxFields) {
            fields[n].b = start;
            fields[n].e = fieldEnd;
        }
        ++n;
        if (!comma)
            return n;
        start = comma + 1;
    }
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// The field without the blanks around it.
Field trimmed(Field f)
{
    while (f.b < f.e && isBlank(*f.b))
        ++f.b;
    while (f.e > f.b && isBlank(f.e[-1]))
        --f.e;
    return f;
}

// Plain digits with an optional sign and blanks around, the common case, read without
// going through QString; false for anything else.
bool plainInteger(Field f, int maxDigits, qint64 &value)
{
    const Field t = trimmed(f);
    const char *p = t.b;
    const char *q = t.e;
    const char *digits = p;
    if (digits < q && (*digits == '-' || *digits == '+'))
        ++digits;
    if (digits >= q || q - digits > maxDigits)
        return false;
    qint64 v = 0;
    for (const char *s = digits; s < q; ++s) {
        if (*s < '0' || *s > '9')
            return false;
        v = v * 10 + (*s - '0');
    }
    value = *p == '-' ? -v : v;
    return true;
}

// An integer as QString::toLongLong reads it (blanks around, a sign); 0 for
// anything that does not parse. Plain digits take the fast road, the rest goes
// through Qt's own conversion so that both agree.
qint64 parseInteger(Field f)
{
    qint64 v = 0;
    if (plainInteger(f, 18, v))
        return v;
    bool ok = false;
    v = f.toText().toLongLong(&ok);
    return ok ? v : 0;
}

int parseInt32(Field f)
{
    const qint64 v = parseInteger(f);
    return (v < INT_MIN || v > INT_MAX) ? 0 : int(v);
}

double parseDouble(const QString &text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return (ok && std::isfinite(v)) ? v : 0.0;
}

// A double as QString::toDouble reads it; 0 for anything that does not parse
// and for infinities and NaN, which no instrument value can be.
double parseDouble(Field f)
{
    qint64 v = 0;
    if (plainInteger(f, 15, v))
        return double(v);
    // Decimals as the logger writes them ("9.765625", "-1.5e-05") are read in place;
    // from_chars rounds exactly as Qt does. Blanks, a plus sign and whatever it does not
    // take whole go through Qt's own conversion.
    const Field t = trimmed(f);
    const char *p = t.b;
    const char *q = t.e;
    if (p < q && *p != '+') {
        double d = 0.0;
        const std::from_chars_result r = std::from_chars(p, q, d);
        if (r.ec == std::errc() && r.ptr == q && std::isfinite(d))
            return d;
    }
    return parseDouble(f.toText());
}

int32_t saturatedInt32(double v)
{
    if (!(v > double(INT_MIN)))
        return v < 0 ? INT_MIN : 0;
    if (v >= double(INT_MAX))
        return INT_MAX;
    return int32_t(v);
}

int32_t sizeAsInt32(size_t n)
{
    return n > size_t(INT_MAX) ? INT_MAX : int32_t(n);
}

// Reads lines in chunks without ever holding more than one chunk plus one
// line of the longest allowed length: a line longer than that is handed out
// empty and marked overlong instead of being collected.
class LineReader {
public:
    struct Line {
        const char *b = nullptr;
        const char *e = nullptr;
        bool terminated = false;   // ended by a line feed, not by the end of the data
        bool overlong = false;
        bool empty() const { return b == e; }
    };

    static constexpr size_t MaxLine = 64 * 1024;

    explicit LineReader(QIODevice *device) : dev(device) {}

    bool next(Line &line);
    qint64 consumed() const { return used; }
    bool failed() const { return readError; }

private:
    bool fill();

    static constexpr qint64 MaxChunk = 1024 * 1024;
    QIODevice *dev;
    std::vector<char> buf;
    size_t head = 0;
    size_t tail = 0;
    qint64 used = 0;
    qint64 chunk = 16 * 1024;
    bool atEnd = false;
    bool readError = false;
};

bool LineReader::fill()
{
    if (atEnd)
        return false;
    if (head > 0) {
        std::memmove(buf.data(), buf.data() + head, tail - head);
        tail -= head;
        head = 0;
    }
    if (buf.size() < tail + size_t(chunk))
        buf.resize(tail + size_t(chunk));
    const qint64 n = dev->read(buf.data() + tail, chunk);
    if (n < 0)
        readError = true;
    if (n <= 0) {
        atEnd = true;
        return false;
    }
    tail += size_t(n);
    if (chunk < MaxChunk)
        chunk *= 2;
    return true;
}

bool LineReader::next(Line &line)
{
    bool overlong = false;
    size_t scanFrom = head;
    for (;;) {
        const char *base = buf.data();
        const void *nl = tail > scanFrom ? std::memchr(base + scanFrom, '\n', tail - scanFrom) : nullptr;
        if (nl) {
            const size_t end = size_t(static_cast<const char *>(nl) - base);
            line.b = base + head;
            line.e = base + end;
            line.terminated = true;
            used += qint64(end + 1 - head);
            head = end + 1;
            break;
        }
        if (tail - head > MaxLine) {
            overlong = true;
            used += qint64(tail - head);
            head = tail;
        }
        const size_t pending = tail - head;
        if (!fill()) {
            if (tail == head && !overlong)
                return false;
            line.b = buf.data() + head;
            line.e = buf.data() + tail;
            line.terminated = false;
            used += qint64(tail - head);
            head = tail;
            break;
        }
        scanFrom = head + pending;
    }
    line.overlong = overlong;
    if (overlong)
        line.e = line.b;
    else if (line.e > line.b && line.e[-1] == '\r')
        --line.e;
    return true;
}

void skipByteOrderMark(LineReader::Line &line)
{
    if (line.e - line.b >= 3 && std::memcmp(line.b, "\xEF\xBB\xBF", 3) == 0)
        line.b += 3;
}

const QString &blankMemo()
{
    static const QString blank(QStringLiteral(" "));
    return blank;
}

void ensureValues(LoggerData *run)
{
    if (!run->chA.values)
        run->chA.values = new DataValues;
    if (!run->chB.values)
        run->chB.values = new DataValues;
}

void setFirstSampleNo(LoggerData *run)
{
    if (!run->chA.values->xValues.empty())
        run->firstSampleNo = saturatedInt32(run->chA.values->xValues.front());
    else if (!run->chB.values->xValues.empty())
        run->firstSampleNo = saturatedInt32(run->chB.values->xValues.front());
}

// Lines of a stop block read so far, for a run that may end before its last one.
enum StopLine : unsigned { StopDateRead = 1, StopTimeRead = 2, TotalsRead = 4, MaximumRead = 8, MinimumRead = 16 };

// A run that has no complete stop block (the program died during the run, or the disk
// filled while it was written): what the file does say is kept, the rest is rebuilt from
// the rows that did reach the file.
void completeCutOffRun(LoggerData *run, unsigned stopLinesRead)
{
    setFirstSampleNo(run);
    if (!(stopLinesRead & StopDateRead))
        run->stopDate.clear();
    if (!(stopLinesRead & StopTimeRead))
        run->stopTime.clear();
    for (ChannelRecord *ch : {&run->chA, &run->chB}) {
        const std::vector<double> &y = ch->values->yValues;
        if (!(stopLinesRead & TotalsRead))
            ch->totalSamples = sizeAsInt32(y.size());
        MeasuredExtremes extremes;
        for (double v : y)
            extremes.Add(v);
        ch->missedSamples = extremes.missed;
        if (!(stopLinesRead & MinimumRead))
            ch->minValue = extremes.lo;
        if (!(stopLinesRead & MaximumRead))
            ch->maxValue = extremes.hi;
    }
}

// Appends one paged row (sample number, A, B) to a run; the memo column is
// not read back.
void appendPagedRow(LoggerData *run, const Field *f)
{
    ensureValues(run);
    const double x = parseDouble(f[0]);
    run->chA.values->xValues.push_back(x);
    run->chB.values->xValues.push_back(x);
    run->chA.values->yValues.push_back(parseDouble(f[1]));
    run->chB.values->yValues.push_back(parseDouble(f[2]));
    run->memo.push_back(QString());
}

} // namespace

// ---------------------------------------------------------------------------
// Files

QFile *Utility::OpenFile(const QString &path, bool append)
{
    auto *file = new QFile(path);
    const QIODevice::OpenMode mode = QIODevice::ReadWrite | (append ? QIODevice::Append : QIODevice::Truncate);
    if (!file->open(mode)) {
        delete file;
        return nullptr;
    }
    return file;
}

void Utility::CloseFile(QFile *file)
{
    if (file)
        file->close();
}

int Utility::SaveStartInfo(QFile *file, const LoggerData *run, SampIntervalUnit unit)
{
    if (!file)
        return 1;
    if (!run)
        return 0;
    QByteArray out;
    out += "Start Date:,";
    out += lineText(run->startDate);
    out += "\nStart Time:,";
    out += lineText(run->startTime);
    out += "\nSample Interval:,";
    appendDouble(out, run->sampleInterval);
    out += Utility::IntervalUnitText(unit);
    out += "\n\nSample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";
    return writeAll(file, out);
}

int Utility::SaveLoggerData(QFile *file, const DataValues *chA, const DataValues *chB,
                            const std::vector<QString> &memo, int count, QByteArray *written)
{
    if (written)
        written->clear();
    if (!file || count < 1)
        return 1;
    static const std::vector<double> none;
    const std::vector<double> &ax = chA ? chA->xValues : none;
    const std::vector<double> &ay = chA ? chA->yValues : none;
    const std::vector<double> &bx = chB ? chB->xValues : none;
    const std::vector<double> &by = chB ? chB->yValues : none;

    // A row's number comes from channel A, or from channel B when A has no values: a run
    // of one channel never carries the other channel's numbers (only a channel with values,
    // or either when none has, counts). Never more rows than there are numbers for,
    // whatever the caller asked.
    const bool aHasValues = !ay.empty();
    const bool bHasValues = !by.empty();
    const bool useA = aHasValues || !bHasValues;
    const bool useB = bHasValues || !aHasValues;
    const std::vector<double> &xs = useA ? ax : bx;       // numbers first taken from
    const std::vector<double> &xsMore = useB ? bx : ax;   // and past its end
    const size_t rows = std::min(size_t(count), std::max(useA ? ax.size() : 0, useB ? bx.size() : 0));

    constexpr int ChunkBytes = 1 << 20;
    QByteArray own;
    // The caller's buffer keeps its capacity from call to call and gets every byte written.
    QByteArray &out = written ? *written : own;
    out.reserve(int(std::min<size_t>(rows * 32, ChunkBytes + 256)));
    for (size_t i = 0; i < rows; ++i) {
        appendWhole(out, i < xs.size() ? xs[i] : xsMore[i]);
        out += ',';
        if (aHasValues && i < ay.size())
            appendDouble(out, ay[i]);
        out += ',';
        if (bHasValues && i < by.size())
            appendDouble(out, by[i]);
        out += ',';
        if (i < memo.size() && !memo[i].isEmpty()) {
            const QString &text = memo[i];
            if (text.size() == 1 && text.at(0) == QLatin1Char(' '))
                out += ' ';
            else
                out += memoText(text);
        } else {
            out += ' ';
        }
        out += '\n';
        // A chunk that did not reach the file whole ends the call: what did reach it
        // must not be written a second time.
        if (!written && out.size() >= ChunkBytes) {
            if (file->write(out) != out.size())
                return 1;
            out.clear();
        }
    }
    return writeAll(file, out);
}

int Utility::SaveStopInfo(QFile *file, const LoggerData *run)
{
    if (!file)
        return 1;
    if (!run)
        return 0;
    QByteArray out;
    out += "\nStop Date:,";
    out += lineText(run->stopDate);
    out += "\nStop Time:,";
    out += lineText(run->stopTime);
    out += "\nTotal Samples:,";
    appendInt(out, run->chA.totalSamples);
    out += ',';
    appendInt(out, run->chB.totalSamples);
    out += "\nMaximum (mV):,";
    appendDouble(out, run->chA.maxValue);
    out += ',';
    appendDouble(out, run->chB.maxValue);
    out += "\nMinimum (mV):,";
    appendDouble(out, run->chA.minValue);
    out += ',';
    appendDouble(out, run->chB.minValue);
    out += "\nMissed Samples:,";
    appendInt(out, run->chA.missedSamples);
    out += ',';
    appendInt(out, run->chB.missedSamples);
    out += "\n\n";
    return writeAll(file, out);
}

int Utility::SaveToCSVFormat(const QString &path, const QVector<LoggerData *> *runs, bool append)
{
    QFile *file = OpenFile(path, append);
    if (!file)
        return 1;
    int result = 0;
    if (runs) {
        // A chart read back from a file holds all its rows; a live chart may
        // hold fewer rows than its totals, and SaveLoggerData cuts to those.
        const bool loaded = !runs->isEmpty() && runs->first() && runs->first()->drawState == -1;
        for (const LoggerData *run : *runs) {
            if (!run)
                continue;
            int count;
            if (loaded) {
                // Every row read has its number, with or without values.
                const size_t a = run->chA.values ? run->chA.values->xValues.size() : 0;
                const size_t b = run->chB.values ? run->chB.values->xValues.size() : 0;
                count = sizeAsInt32(std::max(a, b));
            } else {
                count = run->chA.totalSamples > 0 ? run->chA.totalSamples : run->chB.totalSamples;
            }
            if (SaveStartInfo(file, run, run->intervalUnit) != 0
                || (count >= 1 && SaveLoggerData(file, run->chA.values, run->chB.values, run->memo, count) != 0)
                || SaveStopInfo(file, run) != 0) {
                result = 1;
                break;
            }
        }
    }
    if (closeChecked(file) != 0)
        result = 1;
    delete file;
    return result;
}

namespace {

// A memo text that holds a line break (or starts with a quote) is written in quotes,
// quotes doubled, so that it reads back whole; any other text is written as it is (the
// reader tells commas of the text from the three fields at the end of the line).
QByteArray memoField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.startsWith('"') || bytes.contains('\n') || bytes.contains('\r')) {
        bytes.replace('"', "\"\"");
        bytes.prepend('"');
        bytes.append('"');
    }
    return bytes;
}

}   // namespace

int Utility::SaveMemoToCSVFormat(const QString &path, const QVector<QwtPlotMarker *> *markers)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return 1;
    QByteArray out("Memo Label,Memo X,Memo Y,\n");
    if (markers) {
        for (const QwtPlotMarker *marker : *markers) {
            if (!marker)
                continue;
            out += memoField(marker->label().text());
            out += ',';
            // x is a sample number: exact, like the sample numbers of the rows.
            const double x = marker->xValue();
            if (std::isfinite(x) && x == std::trunc(x) && std::fabs(x) < 9.0e15)
                appendInt(out, qint64(x));
            else
                appendDouble(out, x);
            out += ',';
            appendDouble(out, marker->yValue());
            out += ",\n";
        }
    }
    int result = writeAll(&file, out);
    if (closeChecked(&file) != 0)
        result = 1;
    return result;
}

int Utility::SaveToTextFormat(const QString &, const QVector<LoggerData *> *)
{
    return 0;
}

int Utility::SendEmail(const QString &)
{
    return 1;   // no mail is ever sent
}

// ---------------------------------------------------------------------------
// Readers

int Utility::LoadValues(const QString &path, QVector<LoggerData *> *list)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;

    QVector<LoggerData *> loaded;
    LoggerData *run = nullptr;   // the run being read, until its "Missed Samples:" line
    unsigned stopLines = 0;      // what of its stop block was read
    bool rowsOn = false;
    QString lastMemo;            // repeated memo texts share one string
    QByteArray lastMemoBytes;
    std::string unquoted;
    LineReader reader(&file);
    LineReader::Line line;
    bool first = true;

    auto finishCutOffRun = [&]() {
        if (run) {
            completeCutOffRun(run, stopLines);
            loaded.append(run);
            run = nullptr;
        }
        rowsOn = false;
    };

    while (reader.next(line)) {
        if (first) {
            skipByteOrderMark(line);
            first = false;
        }
        if (line.overlong || line.empty())
            continue;
        const char *b = line.b;
        const char *e = line.e;
        if (std::memchr(b, '"', size_t(e - b))) {
            unquoted.assign(b, e);
            unquoted.erase(std::remove(unquoted.begin(), unquoted.end(), '"'), unquoted.end());
            b = unquoted.data();
            e = b + unquoted.size();
        }
        Field f[4];
        const int n = splitFields(b, e, f, 4);
        if (n < 2)
            continue;
        const Field &key = f[0];
        const Field second = n >= 3 ? f[2] : Field();

        if (key.size() >= 7) {   // the shortest key is "Minimum"
            if (key.is("Start Date:")) {
                finishCutOffRun();
                run = new LoggerData;
                stopLines = 0;
                run->drawTicks = -1;   // loaded charts carry -1 in both
                run->drawState = -1;
                ensureValues(run);
                run->startDate = f[1].toText();
                continue;
            }
            if (key.is("Start Time:")) {
                if (run)
                    run->startTime = f[1].toText();
                continue;
            }
            if (key.is("Sample Interval:")) {
                if (run) {
                    QString value = f[1].toText();
                    if (value.contains(QLatin1String("ms"))) {
                        run->intervalUnit = MilliSeconds;
                        value.chop(2);
                    } else if (value.contains(QLatin1String("us"))) {
                        run->intervalUnit = MicroSeconds;
                        value.chop(2);
                    } else {
                        run->intervalUnit = Seconds;
                        value.chop(1);
                    }
                    run->sampleInterval = parseDouble(value);
                }
                continue;
            }
            if (key.is("Sample Number")) {
                if (run) {
                    run->dataUnit = f[1].contains("mV") ? QStringLiteral("mV") : QStringLiteral("V");
                    rowsOn = true;
                }
                continue;
            }
            if (key.is("Stop Date:")) {
                rowsOn = false;
                if (run) {
                    setFirstSampleNo(run);
                    run->stopDate = f[1].toText();
                    stopLines |= StopDateRead;
                }
                continue;
            }
            if (key.is("Stop Time:")) {
                if (run) {
                    run->stopTime = f[1].toText();
                    stopLines |= StopTimeRead;
                }
                continue;
            }
            if (key.is("Total Samples:")) {
                if (run) {
                    run->chA.totalSamples = parseInt32(f[1]);
                    run->chB.totalSamples = parseInt32(second);
                    stopLines |= TotalsRead;
                }
                continue;
            }
            if (key.contains("Minimum")) {
                if (run) {
                    run->chA.minValue = parseDouble(f[1]);
                    run->chB.minValue = parseDouble(second);
                    stopLines |= MinimumRead;
                }
                continue;
            }
            if (key.contains("Maximum")) {
                if (run) {
                    run->chA.maxValue = parseDouble(f[1]);
                    run->chB.maxValue = parseDouble(second);
                    stopLines |= MaximumRead;
                }
                continue;
            }
            if (key.is("Missed Samples:")) {
                if (run) {
                    run->chA.missedSamples = parseInt32(f[1]);
                    run->chB.missedSamples = parseInt32(second);
                    loaded.append(run);
                    run = nullptr;
                }
                rowsOn = false;
                continue;
            }
        }

        if (!rowsOn || !run || n < 4 || f[0].empty())
            continue;   // a row without its sample number is no row
        DataValues *a = run->chA.values;
        DataValues *bv = run->chB.values;
        // A channel that was not logged has an empty column in every row. A row whose
        // columns differ from the run's first row is skipped whole: each row holds a
        // value for every channel of the run, or the values no longer match their numbers.
        const bool hasA = !f[1].empty();
        const bool hasB = !f[2].empty();
        if (!a->xValues.empty() && (hasA == a->yValues.empty() || hasB == bv->yValues.empty()))
            continue;
        const double x = double(parseInteger(f[0]));
        a->xValues.push_back(x);
        bv->xValues.push_back(x);
        if (hasA)
            a->yValues.push_back(parseDouble(f[1]));
        if (hasB)
            bv->yValues.push_back(parseDouble(f[2]));
        const Field &memo = f[3];
        if (memo.empty() || (memo.size() == 1 && memo.b[0] == ' ')) {
            run->memo.push_back(blankMemo());
        } else {
            if (lastMemoBytes.size() != memo.size() || std::memcmp(lastMemoBytes.constData(), memo.b, size_t(memo.size())) != 0) {
                lastMemoBytes = QByteArray(memo.b, memo.size());
                lastMemo = QString::fromUtf8(lastMemoBytes);
            }
            run->memo.push_back(lastMemo);
        }
    }
    finishCutOffRun();

    if (reader.failed()) {
        // A file that could not be read to its end is not shown half.
        for (LoggerData *r : loaded)
            DeleteRun(r);
        return 1;
    }
    if (list)
        *list += loaded;
    else
        for (LoggerData *r : loaded)
            DeleteRun(r);
    return 0;
}

namespace {

// A memo text in quotes, from b (at the opening quote): the text with doubled quotes made
// single, and where the record goes on after the closing quote. False when the quote is
// not closed and followed by a comma: the line is then read as it stands.
bool quotedMemo(const char *b, const char *e, QByteArray &text, const char *&rest)
{
    text.clear();
    const char *p = b + 1;
    for (;;) {
        const char *q = static_cast<const char *>(std::memchr(p, '"', size_t(e - p)));
        if (!q)
            return false;
        text.append(p, int(q - p));
        if (q + 1 < e && q[1] == '"') {
            text.append('"');
            p = q + 2;
            continue;
        }
        if (q + 1 < e && q[1] == ',') {
            rest = q + 2;
            return true;
        }
        return false;
    }
}

QwtPlotMarker *newMemoMarker(const QString &label, double x, double y)
{
    QwtText text(label);
    text.setFont(QFont(QStringLiteral("Arial"), 10, QFont::Normal));
    text.setColor(Qt::cyan);
    auto *marker = new QwtPlotMarker();
    marker->setLabel(text);
    marker->setValue(x, y);
    return marker;
}

}   // namespace

int Utility::LoadMemoValues(const QString &path, QVector<QwtPlotMarker *> *list)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    // Memo files hold a line per marker; one read keeps texts that span lines together.
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return 2;

    QVector<QwtPlotMarker *> loaded;
    const char *p = data.constData();
    const char *end = p + data.size();
    if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;
    std::vector<Field> fields;
    QByteArray quoted;
    while (p < end) {
        // A quoted text may hold line breaks: the record ends at the first line break
        // after its closing quote.
        const char *rest = nullptr;
        const bool isQuoted = *p == '"' && quotedMemo(p, end, quoted, rest);
        const char *from = isQuoted ? rest : p;
        const char *nl = static_cast<const char *>(std::memchr(from, '\n', size_t(end - from)));
        const char *lineEnd = nl ? nl : end;
        const char *next = nl ? nl + 1 : end;
        const char *e = lineEnd;
        if (e > from && e[-1] == '\r')
            --e;

        if (isQuoted) {
            // x, y and the empty end.
            Field xy[3];
            const int n = splitFields(from, e, xy, 3);
            if (n >= 2)
                loaded.append(newMemoMarker(QString::fromUtf8(quoted), parseDouble(xy[0]),
                                            parseDouble(xy[1])));
            p = next;
            continue;
        }
        p = next;
        if (e == from)
            continue;
        const int n = splitFields(from, e, nullptr, 0);
        if (n < 3)
            continue;
        fields.resize(size_t(n));
        splitFields(from, e, fields.data(), n);
        if (fields[0].is("Memo Label"))
            continue;
        // Files written before texts were quoted: every line ends with a comma, so more
        // fields than label, x, y and that empty end mean a label with commas of its own.
        QString label;
        Field xField = fields[1];
        Field yField = fields[2];
        if (n > 4 && fields[size_t(n - 1)].empty()) {
            label = QString::fromUtf8(from, int(fields[size_t(n - 3)].b - 1 - from));
            xField = fields[size_t(n - 3)];
            yField = fields[size_t(n - 2)];
        } else {
            label = fields[0].toText();
        }
        loaded.append(newMemoMarker(label, parseDouble(xField), parseDouble(yField)));
    }
    if (list)
        *list += loaded;
    else
        qDeleteAll(loaded);
    return 0;
}

namespace {
int readSamples(QIODevice *file, qint64 &readPos, int skipLines, int count,
                QVector<LoggerData *> *list, bool byRun, int runIndex);
}

int Utility::ReadSamplesFromFile(QFile *file, qint64 &readPos, int skipLines, int count,
                                 QVector<LoggerData *> *list, bool byRun, int runIndex)
{
    return readSamples(file, readPos, skipLines, count, list, byRun, runIndex);
}

int Utility::ReadSamplesFromBytes(const QByteArray &bytes, qint64 &readPos, int count,
                                  QVector<LoggerData *> *list)
{
    QBuffer buffer;
    buffer.setData(bytes);   // shared, not copied
    if (!buffer.open(QIODevice::ReadOnly))
        return 0;
    return readSamples(&buffer, readPos, 0, count, list, false, 0);
}

namespace {
int readSamples(QIODevice *file, qint64 &readPos, int skipLines, int count,
                QVector<LoggerData *> *list, bool byRun, int runIndex)
{
    if (!file || !list || count < 1 || list->isEmpty())
        return 0;
    int target = byRun ? runIndex : list->size() - 1;
    if (target < 0 || target >= list->size() || !(*list)[target])
        return 0;
    if (!file->isOpen() || !file->isReadable() || readPos < 0)
        return 0;

    const qint64 savedPos = file->pos();
    if (!file->seek(readPos)) {
        file->seek(savedPos);
        return 0;
    }
    const qint64 base = readPos;
    LineReader reader(file);
    LineReader::Line line;
    for (int i = 1; i < skipLines; ++i)
        if (!reader.next(line))
            break;

    LoggerData *run = (*list)[target];
    int appended = 0;
    Field f[4];
    if (!byRun) {
        for (int i = 0; i < count; ++i) {
            // A last line without its line feed is still being written.
            if (!reader.next(line) || !line.terminated)
                break;
            if (line.empty() && !line.overlong)
                break;
            if (!line.overlong && splitFields(line.b, line.e, f, 4) >= 4 && !f[0].empty()) {
                appendPagedRow(run, f);
                ++appended;
            }
            readPos = base + reader.consumed();
        }
    } else {
        // Blank lines and the stop block between runs are passed over, so that
        // a range of sample numbers can run on into the next run's rows.
        while (reader.next(line) && line.terminated) {
            if (!line.empty()) {
                const int n = splitFields(line.b, line.e, f, 4);
                if (n >= 4 && f[0].empty()) {
                    // a row without its sample number: no row, and no run header either
                } else if (n >= 4 && parseDouble(f[0]) == 0.0) {
                    // the header line of the next run
                    if (++target >= list->size() || !(*list)[target])
                        break;
                    run = (*list)[target];
                } else if (parseInteger(f[0]) > count) {
                    break;
                } else if (n >= 4) {
                    appendPagedRow(run, f);
                    ++appended;
                }
            }
            readPos = base + reader.consumed();
        }
    }
    file->seek(savedPos);
    return appended;
}
}   // namespace

// ---------------------------------------------------------------------------
// Names, dates, units

QString Utility::GetFilename(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return path;
    QString name = path.mid(slash + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

// The C locale keeps the digits and "AM"/"PM" fixed whatever the user's
// language: these texts go into files that are read back.
QString Utility::GetDate()
{
    return QLocale::c().toString(QDate::currentDate(), QStringLiteral("MM/dd/yyyy"));
}

QString Utility::GetTime()
{
    return QLocale::c().toString(QTime::currentTime(), QStringLiteral("hh:mm:ss AP"));
}

QString Utility::GetTimeWithMs()
{
    return QLocale::c().toString(QTime::currentTime(), QStringLiteral("hh:mm:ss:zzz AP"));
}

const char *Utility::IntervalUnitText(SampIntervalUnit unit)
{
    switch (unit) {
    case Seconds:
        return "s";
    case MilliSeconds:
        return "ms";
    default:
        return "us";
    }
}

double Utility::ConvertToSec(double value, SampIntervalUnit unit)
{
    switch (unit) {
    case MilliSeconds:
        return value / 1000.0;
    case MicroSeconds:
        return value / 1000000.0;
    default:
        return value;
    }
}

double Utility::ConvertToMilliSec(double value, SampIntervalUnit unit)
{
    switch (unit) {
    case Seconds:
        return value * 1000.0;
    case MicroSeconds:
        return value / 1000.0;
    default:
        return value;
    }
}

double Utility::ConvertToMicroSec(double value, SampIntervalUnit unit)
{
    switch (unit) {
    case Seconds:
        return value * 1000000.0;
    case MilliSeconds:
        return value * 1000.0;
    default:
        return value;
    }
}

double Utility::ConvertIndexToVolt(int index)
{
    static const double millivolts[8] = {100, 200, 500, 1000, 2000, 5000, 10000, 20000};
    return (index >= 0 && index < 8) ? millivolts[index] : 0.0;
}
