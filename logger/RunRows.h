// The rows of a run CSV file as every reader of those files takes them: the chart reader,
// the paging readers of the backup and of "temp.csv", and the index of the backup. One set
// of rules, so that each of them shows the same rows of the same file.
#pragma once

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

namespace RunRows {

// No line of ours is longer (a row's memo is cut to fit): a longer line, its line end not
// counted, is no row and no line of a run's blocks, however it was read.
constexpr qint64 MaxLine = 1 << 16;

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
inline int splitFields(const char *b, const char *e, Field *fields, int maxFields)
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

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// The field without the blanks around it.
inline Field trimmed(Field f)
{
    while (f.b < f.e && isBlank(*f.b))
        ++f.b;
    while (f.e > f.b && isBlank(f.e[-1]))
        --f.e;
    return f;
}

// Plain digits with an optional sign and blanks around, the common case, read without
// going through QString; false for anything else.
inline bool plainInteger(Field f, int maxDigits, qint64 &value)
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

// A whole number as QString::toLongLong reads it (blanks around, a sign); false for
// anything else. Plain digits take the fast road, the rest goes through Qt's own
// conversion so that both agree.
inline bool readInteger(Field f, qint64 &value)
{
    if (plainInteger(f, 18, value))
        return true;
    bool ok = false;
    value = f.toText().toLongLong(&ok);
    return ok;
}

// A double as QString::toDouble reads it; false for anything that does not parse and
// for infinities and NaN, which no instrument value can be.
inline bool readValue(Field f, double &value)
{
    qint64 whole = 0;
    if (plainInteger(f, 15, whole)) {
        value = double(whole);
        return true;
    }
    // Decimals as the logger writes them ("9.765625", "-1.5e-05") are read in place;
    // from_chars rounds exactly as Qt does. Blanks, a plus sign and whatever it does not
    // take whole go through Qt's own conversion.
    const Field t = trimmed(f);
    if (t.b < t.e && *t.b != '+') {
        const std::from_chars_result r = std::from_chars(t.b, t.e, value);
        if (r.ec == std::errc() && r.ptr == t.e && std::isfinite(value))
            return true;
    }
    bool ok = false;
    value = f.toText().toDouble(&ok);
    return ok && std::isfinite(value);
}

// A row's sample number: a whole number, as readInteger reads it or, as an earlier writer
// wrote large ones, in decimals ("1e+06"); past what 64 bits hold as the largest number of
// its sign. False for anything else.
inline bool readSampleNo(Field f, qint64 &value)
{
    if (readInteger(f, value))
        return true;
    double d = 0.0;
    if (!readValue(f, d) || d != std::trunc(d))
        return false;
    value = std::fabs(d) < 9.2e18 ? qint64(d) : d < 0 ? LLONG_MIN : LLONG_MAX;
    return true;
}

// The lines that shape a file's runs (a key field and at least one more), as opposed to
// the rows and the other lines of the start and stop blocks.
enum class LineKind { Other, RunStart, ColumnTitles, RowsEnd, RunEnd };

inline LineKind lineKind(const Field *f, int n)
{
    if (n < 2)
        return LineKind::Other;
    const Field &key = f[0];
    if (key.is("Start Date:"))
        return LineKind::RunStart;
    if (key.is("Sample Number"))
        return LineKind::ColumnTitles;
    if (key.is("Stop Date:"))
        return LineKind::RowsEnd;
    if (key.is("Missed Samples:"))
        return LineKind::RunEnd;
    return LineKind::Other;
}

// A line as the readers take it: without its double quotes (copied into `scratch` when it
// has any).
inline void unquote(const char *&b, const char *&e, std::string &scratch)
{
    if (!std::memchr(b, '"', size_t(e - b)))
        return;
    scratch.assign(b, e);
    scratch.erase(std::remove(scratch.begin(), scratch.end(), '"'), scratch.end());
    b = scratch.data();
    e = b + scratch.size();
}

// A last line without its line end (an editor or a script may write a file so) is taken as a
// row would be, when it holds every field of one: its third comma is there, so its number
// and values are whole and only its memo may have been cut. One cut inside its values may be
// a write the program did not finish: no row. The lines of a run's blocks are not taken so.
inline bool unendedRow(const Field *f, int n)
{
    return n >= 4 && lineKind(f, n) == LineKind::Other;
}

struct Row {
    qint64 number = 0;
    bool numbered = false;   // the sample number was read, whatever the rest
    bool exponent = false;   // the number in exponent form ("1.00001e+06")
    bool hasA = false;
    bool hasB = false;
    double a = 0.0;
    double b = 0.0;
};

// A sample row: four fields or more, a sample number short of what 64 bits hold, and a
// value in each column that is not empty. False for any other line.
inline bool readRow(const Field *f, int n, Row &row)
{
    row.numbered = n >= 4 && readSampleNo(f[0], row.number);
    if (!row.numbered || !(std::fabs(double(row.number)) < 9.0e18))
        return false;
    row.hasA = !f[1].empty();
    row.hasB = !f[2].empty();
    if ((row.hasA && !readValue(f[1], row.a)) || (row.hasB && !readValue(f[2], row.b)))
        return false;
    row.exponent = std::memchr(f[0].b, 'e', size_t(f[0].size())) || std::memchr(f[0].b, 'E', size_t(f[0].size()));
    return true;
}

// unendedRow for a line as it stands in the file (quotes and all); with `row`, only when the
// line also reads as a row, which is then read into it.
inline bool unendedRow(const char *b, const char *e, Row *row = nullptr)
{
    std::string scratch;
    unquote(b, e, scratch);
    Field f[4];
    const int n = splitFields(b, e, f, 4);
    return unendedRow(f, n) && (!row || readRow(f, n, *row));
}

// Which rows of one run are kept. A row holds the columns of the run's first row and comes
// after the row kept before it; a number repeated only as an earlier writer wrote numbers
// past a million (six significant digits in exponent form, so that ten rows share one).
// Of rows out of order, the one out of order with the rows on both sides goes: a row that
// does not follow the last kept row but follows the one before it takes that row's place.
class Judge {
public:
    enum Verdict { Keep, KeepInPlaceOfLast, LeaveOut };

    Verdict take(const Row &row)
    {
        if (!kept) {
            kept = true;
            columnA = row.hasA;
            columnB = row.hasB;
            last = row.number;
            return Keep;
        }
        if (row.hasA != columnA || row.hasB != columnB)
            return LeaveOut;
        if (follows(last, row)) {
            before = last;
            last = row.number;
            replaceable = true;
            return Keep;
        }
        if (replaceable && follows(before, row)) {
            last = row.number;
            return KeepInPlaceOfLast;
        }
        return LeaveOut;
    }

private:
    static bool follows(qint64 kept, const Row &row)
    {
        return row.number > kept || (row.number == kept && row.exponent);
    }

    qint64 last = 0;
    qint64 before = 0;
    bool kept = false;
    bool replaceable = false;   // `before` is the kept row before `last`
    bool columnA = false;
    bool columnB = false;
};

}   // namespace RunRows
