#include "Utility.h"

#include "ChartText.h"
#include "RunRows.h"

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
#include <deque>
#include <memory>
#include <new>

using namespace RunRows;

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

// Whether d x 10^p, d an odd number of seven digits, is exactly a double: then a value
// that prints as it is a true tie between two six-digit texts.
bool exactDecimal(quint64 d, int p)
{
    constexpr quint64 Mantissa = quint64(1) << 53;
    if (p >= 0) {
        for (int i = 0; i < p; ++i) {   // the odd part d x 5^p must fit the mantissa
            d *= 5;
            if (d >= Mantissa)
                return false;
        }
        return true;
    }
    for (int i = 0; i < -p; ++i) {      // 10^-p = 2^-p x 5^-p: 5^-p must divide d
        if (d % 5 != 0)
            return false;
        d /= 5;
    }
    return true;
}

// The text QByteArray::number(v, 'g', 6) gives, without its allocations: six significant
// digits correctly rounded, an exact tie away from zero; fixed notation for decimal
// exponents -4 to 5, else d.ddddde+XX; no trailing zeros. Writes at most 16 characters.
char *formatSixDigits(char *p, double v)
{
    if (!std::isfinite(v) || v == 0.0) {
        const QByteArray text = QByteArray::number(v, 'g', 6);   // "0", "nan", "inf", "-inf"
        std::memcpy(p, text.constData(), size_t(text.size()));
        return p + text.size();
    }
    // Seven significant digits first: unless the seventh is a 5, rounding them to six
    // gives what rounding the value itself gives.
    char sci[32];
    const std::to_chars_result r = std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific, 6);
    // sci: "d.dddddde[+-]XX"
    quint64 digits = quint64(sci[0] - '0');
    for (int i = 2; i < 8; ++i)
        digits = digits * 10 + quint64(sci[i] - '0');
    int exponent = 0;
    std::from_chars(sci + 10, r.ptr, exponent);
    if (sci[9] == '-')
        exponent = -exponent;
    if (digits % 10 == 5) {
        double seven = 0.0;
        std::from_chars(sci, r.ptr, seven);
        if (seven != std::fabs(v) || !exactDecimal(digits, exponent - 6)) {
            // Not a tie: the value's own rounding decides, which seven digits cannot tell.
            const std::to_chars_result g = std::to_chars(p, p + 16, v, std::chars_format::general, 6);
            return g.ptr;
        }
    }
    quint64 six = (digits + 5) / 10;   // half away from zero
    if (six >= 1000000) {
        six /= 10;
        ++exponent;
    }
    if (v < 0)
        *p++ = '-';
    char d[6];
    for (int i = 5; i >= 0; --i) {
        d[i] = char('0' + six % 10);
        six /= 10;
    }
    int used = 6;   // significant digits left after dropping trailing zeros
    while (used > 1 && d[used - 1] == '0')
        --used;
    if (exponent < -4 || exponent >= 6) {
        *p++ = d[0];
        if (used > 1) {
            *p++ = '.';
            std::memcpy(p, d + 1, size_t(used - 1));
            p += used - 1;
        }
        *p++ = 'e';
        *p++ = exponent < 0 ? '-' : '+';
        const int e = exponent < 0 ? -exponent : exponent;
        if (e >= 100)
            *p++ = char('0' + e / 100);
        *p++ = char('0' + e / 10 % 10);
        *p++ = char('0' + e % 10);
        return p;
    }
    if (exponent < 0) {
        *p++ = '0';
        *p++ = '.';
        for (int i = -1; i > exponent; --i)
            *p++ = '0';
        std::memcpy(p, d, size_t(used));
        return p + used;
    }
    const int whole = exponent + 1;   // digits before the point
    if (used <= whole) {
        std::memcpy(p, d, size_t(whole));
        return p + whole;
    }
    std::memcpy(p, d, size_t(whole));
    p += whole;
    *p++ = '.';
    std::memcpy(p, d + whole, size_t(used - whole));
    return p + (used - whole);
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
    char buf[32];
    out.append(buf, int(formatSixDigits(buf, v) - buf));
}

// appendDouble's text written at p (at most 16 characters).
char *writeDouble(char *p, double v)
{
    if (v != 0.0 && std::fabs(v) < 1e6 && v == std::trunc(v))
        return std::to_chars(p, p + 16, qint64(v)).ptr;
    return formatSixDigits(p, v);
}

// The texts of recently written values. A logger writes few distinct values (one per
// converter code), so a long save formats each of them about once.
class ValueTexts {
public:
    ValueTexts() : table(Size) {}

    // Writes v's text at p, which has room for 16 characters more than the text.
    char *Write(char *p, double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        // Two places a value may sit in: values that meet at one place share it.
        const size_t at = size_t(((bits ^ (bits >> 31)) * 0x9E3779B97F4A7C15ull) >> (64 - SizeBits));
        for (size_t i : {at, at ^ 1}) {
            const Slot &seen = table[i];
            if (seen.length && seen.bits == bits) {
                std::memcpy(p, seen.text, sizeof seen.text);
                return p + seen.length;
            }
        }
        Slot &slot = table[table[at].length ? at ^ 1 : at];
        char *const end = writeDouble(p, v);
        slot.bits = bits;
        slot.length = quint8(end - p);
        std::memcpy(slot.text, p, size_t(end - p));
        return end;
    }

private:
    struct Slot {
        quint64 bits = 0;
        quint8 length = 0;   // 0: empty
        char text[16];
    };
    static constexpr int SizeBits = 12;
    static constexpr int Size = 1 << SizeBits;
    std::vector<Slot> table;
};

// Sample numbers always as whole numbers: six significant digits would turn
// 1000000 into "1e+06", which reads back as an integer 0.
char *writeWhole(char *p, double v)
{
    if (!std::isfinite(v) || std::fabs(v) >= 9.0e18) {
        *p = '0';
        return p + 1;
    }
    return std::to_chars(p, p + 20, qint64(std::llround(v))).ptr;
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

}   // namespace

qint64 Utility::AppendStart(QFile *file)
{
    // A file opened to append may have grown through another handle since.
    return file->openMode() & QIODevice::Append ? file->size() : file->pos();
}

bool Utility::AppendWhole(QFile *file, qint64 start, const char *data, qint64 size)
{
    // A write that did not reach the file whole (a disk that filled inside it) is taken
    // back, so that the file never ends in a cut line or half a block that the next
    // write would be glued onto. Only an unbuffered handle can take it back: a buffered
    // one would first try again to write what it could not.
    if (size == 0 || file->write(data, size) == size)
        return true;
    if (file->resize(start) && !(file->openMode() & QIODevice::Append))
        file->seek(start);
    return false;
}

namespace {

// One write (the handles of run files are unbuffered: it reaches the file now, and a full
// disk shows up here rather than at some later close); taken back when it fails.
int writeAll(QFile *file, const QByteArray &data)
{
    if (!file || !file->isOpen() || !file->isWritable())
        return 1;
    return Utility::AppendWhole(file, Utility::AppendStart(file), data.constData(), data.size()) && file->flush() ? 0 : 1;
}

int closeChecked(QFile *file)
{
    const bool flushed = file->flush();
    file->close();
    return (flushed && file->error() == QFileDevice::NoError) ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Reading

qint64 parseInteger(Field f)
{
    qint64 v = 0;
    return readInteger(f, v) ? v : 0;
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

// As readValue, 0 for what it does not read.
double parseDouble(Field f)
{
    double v = 0.0;
    return readValue(f, v) ? v : 0.0;
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
// empty and marked overlong instead of being collected. A line ends at LF, CR
// or CR LF: files saved by other programs use any of the three.
class LineReader {
public:
    struct Line {
        const char *b = nullptr;
        const char *e = nullptr;
        const char *after = nullptr;   // past the line's end (its CR, LF or CR LF)
        bool terminated = false;       // ended by a line end, not by the end of the data
        bool overlong = false;
        bool empty() const { return b == e; }
    };

    static constexpr size_t MaxLine = size_t(RunRows::MaxLine);

    explicit LineReader(QIODevice *device) : dev(device) {}

    bool next(Line &line);
    qint64 consumed() const { return used; }
    bool failed() const { return readError; }
    // A buffer kept from an earlier reader: it is only grown, never allocated anew.
    void adopt(std::vector<char> &&spare) { buf = std::move(spare); }
    std::vector<char> release() { return std::move(buf); }

private:
    bool fill();
    bool findEnd(size_t &from, size_t &end, size_t &after);
    size_t nextCR(size_t from);

    static constexpr qint64 MaxChunk = 1024 * 1024;
    static constexpr size_t None = size_t(-1);
    QIODevice *dev;
    std::vector<char> buf;
    size_t head = 0;
    size_t tail = 0;
    // The first CR at or after the last search start (None: none before crSeen), so
    // that a file without CRs is searched for them once, not once per line.
    size_t crAt = None;
    size_t crSeen = 0;
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
        crSeen = crSeen > head ? crSeen - head : 0;
        crAt = crAt != None && crAt >= head ? crAt - head : None;
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

size_t LineReader::nextCR(size_t from)
{
    if (crAt != None && crAt >= from)
        return crAt;
    const size_t s = std::max(from, crSeen);
    if (s >= tail)
        return crAt = None;
    const void *cr = std::memchr(buf.data() + s, '\r', tail - s);
    crAt = cr ? size_t(static_cast<const char *>(cr) - buf.data()) : None;
    crSeen = cr ? crAt + 1 : tail;
    return crAt;
}

// The first line end at or after `from`: the line stops at `end`, the next begins at
// `after`. False when there is none yet; `from` is then where to look again once more
// data came (a CR at the very end may be the first half of a CR LF).
bool LineReader::findEnd(size_t &from, size_t &end, size_t &after)
{
    const char *base = buf.data();
    const void *nl = tail > from ? std::memchr(base + from, '\n', tail - from) : nullptr;
    const size_t lf = nl ? size_t(static_cast<const char *>(nl) - base) : tail;
    const size_t cr = crAt == None && crSeen >= tail ? None : nextCR(from);   // the common case first
    if (cr != None && cr < lf) {
        if (cr + 1 < tail || atEnd) {
            end = cr;
            after = cr + 1 < tail && base[cr + 1] == '\n' ? cr + 2 : cr + 1;
            return true;
        }
        from = cr;
        return false;
    }
    if (nl) {
        end = lf;
        after = lf + 1;
        return true;
    }
    from = tail;
    return false;
}

bool LineReader::next(Line &line)
{
    bool overlong = false;
    size_t scanFrom = head;
    auto take = [&](size_t end, size_t after) {
        overlong |= end - head > MaxLine;   // however the chunks fell
        line.b = buf.data() + head;
        line.e = buf.data() + end;
        line.after = buf.data() + after;
        line.terminated = true;
        used += qint64(after - head);
        head = after;
    };
    for (;;) {
        size_t end = 0;
        size_t after = 0;
        if (findEnd(scanFrom, end, after)) {
            take(end, after);
            break;
        }
        if (scanFrom - head > MaxLine) {
            overlong = true;
            used += qint64(scanFrom - head);
            head = scanFrom;   // a CR left at the end still ends this line
        }
        const size_t offset = scanFrom - head;
        const bool more = fill();
        scanFrom = head + offset;
        if (!more) {
            if (findEnd(scanFrom, end, after)) {   // a CR at the very end
                take(end, after);
                break;
            }
            if (tail == head && !overlong)
                return false;
            overlong |= tail - head > MaxLine;
            line.b = buf.data() + head;
            line.e = line.after = buf.data() + tail;
            line.terminated = false;
            used += qint64(tail - head);
            head = tail;
            break;
        }
    }
    line.overlong = overlong;
    if (overlong)
        line.b = line.e;   // nothing of it is handed out
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

// A long run's value lists sized once from what the rest of the file can hold, from the
// bytes its first rows took: growing them row by row moves and zeroes them again and again.
// The guess is generous; memory reserved beyond the rows read is never touched.
void reserveRunRows(LoggerData *run, qint64 rowsRead, qint64 rowBytes, qint64 bytesLeft)
{
    if (rowsRead <= 0 || rowBytes <= 0 || bytesLeft <= 0)
        return;
    const double perRow = double(rowBytes) / double(rowsRead);
    // A row takes at least "1,,,\n": the guess never exceeds what the bytes can hold.
    const double most = double(bytesLeft) / 5.0;
    const double guess = std::min(most, double(bytesLeft) / perRow * 1.05 + 1024.0);
    const size_t rows = size_t(std::min(guess + double(rowsRead), double(INT_MAX)));
    DataValues *a = run->chA.values;
    DataValues *b = run->chB.values;
    a->xValues.reserve(rows);
    b->xValues.reserve(rows);
    if (!a->yValues.empty())
        a->yValues.reserve(rows);
    if (!b->yValues.empty())
        b->yValues.reserve(rows);
    run->memo.reserve(rows);
}

// What a run guessed too high is given back once it ends, when that is much: a file of
// several long runs would otherwise keep each run's guess for the rest of the file.
void trimRunRows(LoggerData *run)
{
    auto trim = [](auto &v) {
        if (v.capacity() > 4096 && v.capacity() / 4 > v.size())
            v.shrink_to_fit();
    };
    for (DataValues *d : {run->chA.values, run->chB.values}) {
        if (!d)
            continue;
        trim(d->xValues);
        trim(d->yValues);
    }
    trim(run->memo);
}


} // namespace

// ---------------------------------------------------------------------------
// Files

QFile *Utility::OpenFile(const QString &path, bool append)
{
    auto *file = new QFile(path);
    const QIODevice::OpenMode mode = QIODevice::ReadWrite | QIODevice::Unbuffered
                                     | (append ? QIODevice::Append : QIODevice::Truncate);
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
    if (!file || count < 1 || !file->isOpen() || !file->isWritable())
        return 1;
    // A call that fails writes nothing: what it had written is taken back with it.
    const qint64 start = AppendStart(file);
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

    // Rows are written into one buffer through a pointer: a row's numbers take at most
    // 20 + 2 x 16 characters and its memo less than 64 KiB.
    constexpr int ChunkBytes = 1 << 20;
    constexpr int RowRoom = 64 * 1024 + 256;
    QByteArray out;
    out.resize(int(std::min<size_t>(rows * 48, ChunkBytes)) + RowRoom);
    char *const base = out.data();
    const qint64 flushAt = out.size() - RowRoom;
    char *p = base;
    // Short blocks (the live run) are not worth the table of texts.
    std::unique_ptr<ValueTexts> texts(rows >= 4096 ? new ValueTexts : nullptr);
    auto number = [&texts](char *at, double v) { return texts ? texts->Write(at, v) : writeDouble(at, v); };
    const QString *lastMemo = nullptr;   // loaded rows share their memo texts
    QByteArray lastMemoBytes;
    // Sample numbers mostly count up by one: the previous number's text is counted up.
    char lastX[24];
    int lastXLength = 0;
    double lastXValue = 0.0;
    bool countUp = false;   // lastX holds lastXValue, a whole number from 0 on
    for (size_t i = 0; i < rows; ++i) {
        const double x = i < xs.size() ? xs[i] : xsMore[i];
        if (countUp && x == lastXValue + 1.0 && x < 1e15) {
            int d = lastXLength - 1;
            while (d >= 0 && lastX[d] == '9')
                lastX[d--] = '0';
            if (d >= 0) {
                ++lastX[d];
            } else {
                std::memmove(lastX + 1, lastX, size_t(lastXLength));
                lastX[0] = '1';
                ++lastXLength;
            }
            countUp = true;
        } else if (i > 0 && x == lastXValue) {
            // A number repeated (rows of an earlier writer past a million, where ten rows
            // share one): the readers take a repeat only in exponent form.
            const std::to_chars_result r = std::to_chars(lastX, lastX + sizeof lastX, x, std::chars_format::scientific);
            lastXLength = r.ec == std::errc() ? int(r.ptr - lastX) : int(writeWhole(lastX, x) - lastX);
            countUp = false;
        } else {
            lastXLength = int(writeWhole(lastX, x) - lastX);
            countUp = x >= 0.0 && x == std::trunc(x);
        }
        lastXValue = x;
        std::memcpy(p, lastX, sizeof lastX);
        p += lastXLength;
        *p++ = ',';
        if (aHasValues && i < ay.size())
            p = number(p, ay[i]);
        *p++ = ',';
        if (bHasValues && i < by.size())
            p = number(p, by[i]);
        *p++ = ',';
        if (i < memo.size() && !memo[i].isEmpty()) {
            const QString &text = memo[i];
            if (text.size() == 1 && text.at(0) == QLatin1Char(' ')) {
                *p++ = ' ';
            } else {
                if (!lastMemo || !lastMemo->isSharedWith(text)) {
                    lastMemoBytes = memoText(text);
                    lastMemo = &text;
                }
                std::memcpy(p, lastMemoBytes.constData(), size_t(lastMemoBytes.size()));
                p += lastMemoBytes.size();
            }
        } else {
            *p++ = ' ';
        }
        *p++ = '\n';
        // A chunk that did not reach the file whole ends the call: what did reach it
        // must not be written a second time.
        if (p - base >= flushAt) {
            if (written)
                written->append(base, int(p - base));
            if (!AppendWhole(file, start, base, p - base))
                return 1;
            p = base;
        }
    }
    if (written)
        written->append(base, int(p - base));
    return AppendWhole(file, start, base, p - base) && file->flush() ? 0 : 1;
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
    const bool quoted = bytes.startsWith('"') || bytes.contains('\n') || bytes.contains('\r');
    // The reader passes over a record longer than 64 KiB: a longer label is cut (at a
    // character boundary), as a row's memo is, rather than lost with its marker.
    int room = 64 * 1024 - 128 - (quoted ? 2 : 0);
    int cut = 0;
    while (cut < bytes.size() && (room -= (quoted && bytes[cut] == '"') ? 2 : 1) >= 0)
        ++cut;
    if (cut < bytes.size()) {
        while (cut > 0 && (uchar(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    if (quoted) {
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

namespace {

// The runs of a run CSV into `loaded`; `run` is the one being read, until its "Missed
// Samples:" line. 1 when the file cannot be read to its end.
int readRuns(const QString &path, QVector<LoggerData *> &loaded, LoggerData *&run,
             Utility::ChartReadReport &report)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;

    unsigned stopLines = 0;      // what of its stop block was read
    bool rowsOn = false;
    QString lastMemo;            // repeated memo texts share one string
    QByteArray lastMemoBytes;
    std::string unquoted;
    LineReader reader(&file);
    LineReader::Line line;
    bool first = true;

    // Rows of the run read so far and where its first row began, for sizing its lists.
    constexpr qint64 RowsBeforeReserve = 2048;
    const qint64 fileSize = file.size();
    qint64 runRows = 0;
    qint64 runRowsFrom = 0;
    Judge judge;   // of the run being read

    // A line among a run's rows that does not hold a whole row is left out and counted;
    // a last line cut inside its values is a write the program did not finish, no damaged row.
    auto leftOut = [&](const LineReader::Line &l, const char *b, const char *e, int fields) {
        if (rowsOn && run && (fields >= 4 || l.overlong || (l.terminated && !trimmed(Field{b, e}).empty())))
            ++report.rowsLeftOut;
    };

    auto finishCutOffRun = [&]() {
        if (run) {
            trimRunRows(run);
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
        if (line.overlong || line.empty()) {
            leftOut(line, line.b, line.e, 0);
            continue;
        }
        const char *b = line.b;
        const char *e = line.e;
        unquote(b, e, unquoted);
        Field f[4];
        const int n = splitFields(b, e, f, 4);
        if (n < 2) {
            leftOut(line, b, e, n);
            continue;
        }
        const Field &key = f[0];
        const Field second = n >= 3 ? f[2] : Field();

        // The lines that shape the runs, as every reader of these files takes them.
        switch (lineKind(f, n)) {
        case LineKind::RunStart:
            finishCutOffRun();
            judge = Judge();
            run = new LoggerData;
            stopLines = 0;
            run->drawTicks = -1;   // loaded charts carry -1 in both
            run->drawState = -1;
            ensureValues(run);
            run->startDate = f[1].toText();
            continue;
        case LineKind::ColumnTitles:
            if (run) {
                run->dataUnit = f[1].contains("mV") ? QStringLiteral("mV") : QStringLiteral("V");
                rowsOn = true;
                runRows = 0;
                runRowsFrom = reader.consumed();
            }
            continue;
        case LineKind::RowsEnd:
            rowsOn = false;
            if (run) {
                setFirstSampleNo(run);
                run->stopDate = f[1].toText();
                stopLines |= StopDateRead;
            }
            continue;
        case LineKind::RunEnd:
            if (run) {
                run->chA.missedSamples = parseInt32(f[1]);
                run->chB.missedSamples = parseInt32(second);
                trimRunRows(run);
                loaded.append(run);
                run = nullptr;
            }
            rowsOn = false;
            continue;
        case LineKind::Other:
            break;
        }
        if (key.size() >= 7) {   // the shortest key is "Minimum"
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
        }

        // A last line without its line end is a row only when it holds every field of one,
        // as for every reader of these files.
        if (!rowsOn || !run || (!line.terminated && !unendedRow(f, n)))
            continue;
        DataValues *a = run->chA.values;
        DataValues *bv = run->chB.values;
        Row row;
        const bool whole = readRow(f, n, row);
        if (row.numbered)
            report.largestSampleNo = std::max(report.largestSampleNo, row.number);
        const Judge::Verdict verdict = whole ? judge.take(row) : Judge::LeaveOut;
        if (verdict == Judge::LeaveOut) {
            leftOut(line, b, e, n);
            continue;
        }
        if (verdict == Judge::KeepInPlaceOfLast) {
            // The row before was the one out of order: it goes.
            a->xValues.pop_back();
            bv->xValues.pop_back();
            if (row.hasA)
                a->yValues.pop_back();
            if (row.hasB)
                bv->yValues.pop_back();
            run->memo.pop_back();
            ++report.rowsLeftOut;
        }
        const double x = double(row.number);
        a->xValues.push_back(x);
        bv->xValues.push_back(x);
        if (row.hasA)
            a->yValues.push_back(row.a);
        if (row.hasB)
            bv->yValues.push_back(row.b);
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
        if (++runRows == RowsBeforeReserve)
            reserveRunRows(run, runRows, reader.consumed() - runRowsFrom, fileSize - reader.consumed());
    }
    finishCutOffRun();
    return reader.failed() ? 1 : 0;
}

}   // namespace

int Utility::LoadValues(const QString &path, QVector<LoggerData *> *list, ChartReadReport *report)
{
    QVector<LoggerData *> loaded;
    LoggerData *run = nullptr;
    ChartReadReport found;
    int result = 1;
    try {
        // A file that could not be read to its end is not shown half.
        result = readRuns(path, loaded, run, found);
        if (result == 0 && list) {
            *list += loaded;
            loaded = QVector<LoggerData *>();   // the runs are the list's now
        }
    } catch (const std::bad_alloc &) {
        result = 2;   // a chart larger than the memory can hold
    }
    DeleteRun(run);
    DeleteRuns(loaded);
    if (result == 0 && report)
        *report = found;
    return result;
}

namespace {

// How far a memo text in quotes got on one line.
enum class Quoted { Closed, Broken, Open };

// Takes the quoted text of [p, e) into `text`, doubled quotes made single, from inside the
// quotes. Closed: the closing quote is followed by a comma, the record goes on at `rest`.
// Broken: a closing quote followed by anything else. Open: the line ended inside the quotes.
Quoted quotedPart(const char *p, const char *e, QByteArray &text, const char *&rest)
{
    for (;;) {
        const char *q = static_cast<const char *>(std::memchr(p, '"', size_t(e - p)));
        if (!q) {
            text.append(p, int(e - p));
            return Quoted::Open;
        }
        text.append(p, int(q - p));
        if (q + 1 < e && q[1] == '"') {
            text.append('"');
            p = q + 2;
            continue;
        }
        if (q + 1 < e && q[1] == ',') {
            rest = q + 2;
            return Quoted::Closed;
        }
        return Quoted::Broken;
    }
}

QwtPlotMarker *newMemoMarker(const QString &label, double x, double y)
{
    QwtText text = ChartText(label);
    text.setFont(QFont(QStringLiteral("Arial"), 10, QFont::Normal));
    text.setColor(Qt::cyan);
    auto *marker = new QwtPlotMarker();
    marker->setLabel(text);
    marker->setValue(x, y);
    return marker;
}

}   // namespace

namespace {

// A line of a memo file kept beyond the reader's next line.
struct MemoLine {
    QByteArray text;
    QByteArray ending;   // the line end as the file has it
    bool overlong = false;
    bool plain = false;   // read as it stands, whatever quotes it holds
};

// The lines of a memo file, with lines read ahead handed out again first.
class MemoLines {
public:
    explicit MemoLines(QIODevice *device) : reader(device) {}

    bool next(MemoLine &out)
    {
        if (!again.empty()) {
            out = std::move(again.front());
            again.pop_front();
            return true;
        }
        LineReader::Line line;
        if (!reader.next(line))
            return false;
        if (first) {
            skipByteOrderMark(line);
            first = false;
        }
        out.text = QByteArray(line.b, int(line.e - line.b));
        out.ending = QByteArray(line.e, int(line.after - line.e));
        out.overlong = line.overlong;
        out.plain = false;
        return true;
    }
    // Lines taken ahead, in their order, to be read as they stand.
    void giveBack(std::vector<MemoLine> &lines)
    {
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            it->plain = true;
            again.push_front(std::move(*it));
        }
        lines.clear();
    }
    bool failed() const { return reader.failed(); }

private:
    LineReader reader;
    std::deque<MemoLine> again;
    bool first = true;
};

// A memo record as it stands: label, x, y and the empty end.
QwtPlotMarker *plainMemoMarker(const QByteArray &line, std::vector<Field> &fields)
{
    const char *from = line.constData();
    const char *e = from + line.size();
    const int n = splitFields(from, e, nullptr, 0);
    if (n < 3)
        return nullptr;
    fields.resize(size_t(n));
    splitFields(from, e, fields.data(), n);
    if (fields[0].is("Memo Label"))
        return nullptr;
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
    return newMemoMarker(label, parseDouble(xField), parseDouble(yField));
}

}   // namespace

int Utility::LoadMemoValues(const QString &path, QVector<QwtPlotMarker *> *list)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 2;

    // Read as the chart files are, a line at a time: what is kept is the markers. A text in
    // quotes may hold line breaks; its record ends on the line of its closing quote. One that
    // runs on for longer than a line may be is read as a quote that never closes: its first
    // line as it stands, and reading goes on at the line after it.
    QVector<QwtPlotMarker *> loaded;
    MemoLines lines(&file);
    MemoLine line;
    std::vector<MemoLine> ahead;
    std::vector<Field> fields;
    QByteArray quoted;
    while (lines.next(line)) {
        if (line.overlong || line.text.isEmpty())
            continue;
        if (line.plain || !line.text.startsWith('"')) {
            if (QwtPlotMarker *marker = plainMemoMarker(line.text, fields))
                loaded.append(marker);
            continue;
        }
        quoted.clear();
        const char *rest = nullptr;
        const MemoLine *last = &line;
        Quoted state = quotedPart(line.text.constData() + 1, line.text.constData() + line.text.size(), quoted, rest);
        qint64 size = line.text.size();
        bool tooLong = false;
        MemoLine more;
        while (state == Quoted::Open) {
            if (last->ending.isEmpty() || !lines.next(more))
                break;   // the file ended inside the quotes
            size += last->ending.size() + more.text.size();
            if (more.overlong || size > qint64(LineReader::MaxLine)) {
                tooLong = true;
                break;
            }
            quoted += last->ending;
            ahead.push_back(std::move(more));
            last = &ahead.back();
            state = quotedPart(last->text.constData(), last->text.constData() + last->text.size(), quoted, rest);
        }
        if (tooLong)
            ahead.push_back(std::move(more));   // given back with the rest
        if (tooLong || state != Quoted::Closed) {
            // No text in quotes after all, or one too long to be told from a quote that never
            // closes: the line as it stands, and the lines after it.
            if (QwtPlotMarker *marker = plainMemoMarker(line.text, fields))
                loaded.append(marker);
            lines.giveBack(ahead);
            continue;
        }
        // x, y and the empty end.
        Field xy[3];
        const char *e = last->text.constData() + last->text.size();
        if (splitFields(rest, e, xy, 3) >= 2)
            loaded.append(newMemoMarker(QString::fromUtf8(quoted), parseDouble(xy[0]), parseDouble(xy[1])));
        ahead.clear();
    }
    if (lines.failed()) {
        qDeleteAll(loaded);
        return 2;
    }
    if (list)
        *list += loaded;
    else
        qDeleteAll(loaded);
    return 0;
}

namespace {
int readSamples(QIODevice *file, qint64 &readPos, int skipLines, int count, QVector<LoggerData *> *list,
                bool byRun, int runIndex, Judge *judge);
}

int Utility::ReadSamplesFromFile(QFile *file, qint64 &readPos, int skipLines, int count,
                                 QVector<LoggerData *> *list, bool byRun, int runIndex, RunRows::Judge *judge)
{
    return readSamples(file, readPos, skipLines, count, list, byRun, runIndex, judge);
}

int Utility::ReadSamplesFromBytes(const QByteArray &bytes, qint64 &readPos, int count,
                                  QVector<LoggerData *> *list, RunRows::Judge *judge)
{
    QBuffer buffer;
    buffer.setData(bytes);   // shared, not copied
    if (!buffer.open(QIODevice::ReadOnly))
        return 0;
    return readSamples(&buffer, readPos, 0, count, list, false, 0, judge);
}

namespace {

// A paged row goes to both channels; an empty column reads as 0 (the memo is not read back).
void appendPagedRow(LoggerData *run, const Row &row)
{
    ensureValues(run);
    const double x = double(row.number);
    run->chA.values->xValues.push_back(x);
    run->chB.values->xValues.push_back(x);
    run->chA.values->yValues.push_back(row.hasA ? row.a : 0.0);
    run->chB.values->yValues.push_back(row.hasB ? row.b : 0.0);
    run->memo.push_back(QString());
}

void dropPagedRow(LoggerData *run)
{
    for (DataValues *v : {run->chA.values, run->chB.values}) {
        v->xValues.pop_back();
        v->yValues.pop_back();
    }
    run->memo.pop_back();
}

int readSamples(QIODevice *file, qint64 &readPos, int skipLines, int count, QVector<LoggerData *> *list,
                bool byRun, int runIndex, Judge *judge)
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
    // Paging runs on every drawing tick: the reading buffer is kept for the next one.
    thread_local std::vector<char> spare;
    thread_local std::string unquoted;
    LineReader reader(file);
    reader.adopt(std::move(spare));
    LineReader::Line line;
    for (int i = 1; i < skipLines; ++i)
        if (!reader.next(line))
            break;

    Judge fresh;
    Judge &rules = judge ? *judge : fresh;
    LoggerData *run = (*list)[target];
    int appended = 0;
    int inRun = 0;   // rows appended to `run` by this call
    Field f[4];
    Row row;
    // A line's verdict; a row kept in place of the one before it (which was out of order)
    // takes that row's place when this call appended it. One paged (and drawn) before
    // stays: the rows after it are kept all the same.
    auto take = [&](int n, bool lastAppended) {
        if (!readRow(f, n, row))
            return Judge::LeaveOut;
        const Judge::Verdict verdict = rules.take(row);
        if (verdict == Judge::KeepInPlaceOfLast && lastAppended && inRun > 0) {
            dropPagedRow(run);
            --inRun;
            --appended;
        }
        return verdict;
    };
    if (!byRun) {
        for (int i = 0; i < count; ++i) {
            if (!reader.next(line) || (line.empty() && !line.overlong))
                break;
            int n = 0;
            if (!line.overlong) {
                const char *b = line.b;
                const char *e = line.e;
                unquote(b, e, unquoted);
                n = splitFields(b, e, f, 4);
            }
            // A last line without its line end that is cut inside its values may still be
            // being written: it is read once it is whole.
            if (!line.terminated && (line.overlong || !unendedRow(f, n)))
                break;
            if (!line.overlong && take(n, true) != Judge::LeaveOut) {
                appendPagedRow(run, row);
                ++inRun;
                ++appended;
            }
            readPos = base + reader.consumed();
        }
    } else {
        // From a row of run `runIndex` on, into the runs after it, up to the rows numbered
        // past `count`. The row that ends the range is one the rules keep: a row numbered
        // past it that the next row shows out of order does not end it.
        bool rowsOn = true;
        bool beyond = false;   // a kept row numbered past `count` waits for the next row
        while (reader.next(line) && (line.terminated || !line.overlong)) {
            if (!line.empty() && !line.overlong) {
                const char *b = line.b;
                const char *e = line.e;
                unquote(b, e, unquoted);
                const int n = splitFields(b, e, f, 4);
                const LineKind kind = lineKind(f, n);
                // Of a last line without its line end only a row with every field is read.
                if (!line.terminated && !unendedRow(f, n))
                    break;
                if (kind == LineKind::RunStart) {
                    if (beyond || ++target >= list->size() || !(*list)[target])
                        break;
                    run = (*list)[target];
                    inRun = 0;
                    rules = Judge();
                    rowsOn = false;
                } else if (kind == LineKind::ColumnTitles) {
                    rowsOn = true;
                } else if (kind != LineKind::Other) {
                    rowsOn = false;
                    if (beyond)
                        break;
                } else if (rowsOn) {
                    const Judge::Verdict verdict = take(n, !beyond);
                    if (verdict == Judge::Keep && beyond)
                        break;
                    if (verdict != Judge::LeaveOut) {
                        beyond = row.number > count;
                        if (!beyond) {
                            appendPagedRow(run, row);
                            ++inRun;
                            ++appended;
                        }
                    }
                }
            }
            if (!beyond)
                readPos = base + reader.consumed();
        }
    }
    file->seek(savedPos);
    spare = reader.release();
    if (spare.size() > size_t(4 << 20))   // a reading of many rows: not kept
        std::vector<char>().swap(spare);
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
QString Utility::GetDate(const QDate &date)
{
    return QLocale::c().toString(date, QStringLiteral("MM/dd/yyyy"));
}

QString Utility::GetTime(const QTime &time)
{
    return QLocale::c().toString(time, QStringLiteral("hh:mm:ss AP"));
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

QString Utility::SecondsText(double seconds, double intervalSec)
{
    // The decimals that hold the interval exactly, up to nanoseconds.
    int decimals = 3;
    if (intervalSec > 0.0 && std::isfinite(intervalSec)) {
        for (double scale = 1000.0; decimals < 9; ++decimals, scale *= 10.0) {
            const double scaled = intervalSec * scale;
            if (std::fabs(scaled - std::round(scaled)) <= 1e-6 * std::max(1.0, scaled))
                break;
        }
    }
    QString text = QString::number(seconds, 'f', decimals);
    if (!std::isfinite(seconds))
        return text;
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
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
