#include "store/legacytext.h"

#include <iconv.h>

#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <memory>
#include <string_view>

#include "store/codec.h"

namespace legacytext {

namespace {

struct CharCosts {
    quint8 cost;
    const char* chars;
};
#include "store/legacytext_tables.inc"

// ---------------------------------------------------------------------------
// Code page tables, built from iconv once. Table lookups make a reading cheap
// enough to try every code page on every text of a listed folder.

constexpr char16_t kLead = 0xFFFF;  // never a decoded character
constexpr char16_t kInvalid = 0xFFFE;

struct ByteTable {
    std::array<char16_t, 256> single{};
    // [lead - 0x80][trail]; 0 where the pair is not a character.
    std::array<std::array<char16_t, 256>, 128> pairs{};
    char16_t Pair(uchar lead, uchar trail) const { return pairs[lead - 0x80][trail]; }
};

bool Convert(iconv_t cd, const uchar* in, size_t n, char16_t* out, size_t* units) {
    char* src = reinterpret_cast<char*>(const_cast<uchar*>(in));
    char* dst = reinterpret_cast<char*>(out);
    size_t srcLeft = n, dstLeft = 8;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1);
    *units = (8 - dstLeft) / 2;
    return ok;
}

bool IsStandIn(char16_t c) {
    return c >= kRawByteBase + 0x80 && c <= kRawByteBase + 0xFF;
}

std::unique_ptr<ByteTable> BuildTable(const char* name) {
    auto table = std::make_unique<ByteTable>();
    const iconv_t cd = iconv_open("UTF-16LE", name);
    if (cd == iconv_t(-1)) {
        // Without the converter every byte above 0x7F is an error in this
        // code page, which takes it out of every decision.
        for (int b = 0; b < 256; ++b) table->single[b] = b < 0x80 ? char16_t(b) : kInvalid;
        return table;
    }
    char16_t out[4];
    size_t units = 0;
    for (int b = 0; b < 256; ++b) {
        const uchar in = uchar(b);
        const bool ok = Convert(cd, &in, 1, out, &units);
        if (ok && units == 1)
            table->single[b] = out[0];
        else
            table->single[b] = !ok && errno == EINVAL ? kLead : kInvalid;  // EINVAL: cut short
    }
    for (int lead = 0x80; lead < 256; ++lead) {
        if (table->single[lead] != kLead)
            continue;
        for (int trail = 0x40; trail < 0xFF; ++trail) {
            const uchar in[2] = {uchar(lead), uchar(trail)};
            // A character in the range of the stand-ins would be taken for
            // a raw byte. Only user-defined characters of Big5 land there,
            // and those are errors anyway.
            if (Convert(cd, in, 2, out, &units) && units == 1 && !IsStandIn(out[0]))
                table->pairs[lead - 0x80][trail] = out[0];
        }
    }
    iconv_close(cd);
    return table;
}

std::unique_ptr<ByteTable> BuildWesternTable() {
    auto table = BuildTable("CP1252");
    // The five bytes Windows-1252 leaves undefined read as the C1 controls of
    // Latin-1, as Windows reads them: lossless, and an error when deciding.
    for (int b = 0x80; b < 0xA0; ++b)
        if (table->single[b] == kInvalid)
            table->single[b] = char16_t(b);
    return table;
}

// In this order ties go to the earlier one.
constexpr int kCandidates = 6;
constexpr CodePage kOrder[kCandidates] = {CodePage::Gbk,  CodePage::Utf8,     CodePage::Western,
                                          CodePage::Big5, CodePage::ShiftJis, CodePage::Korean};

constexpr int Index(CodePage cp) {
    switch (cp) {
        case CodePage::Gbk:
            return 0;
        case CodePage::Utf8:
            return 1;
        case CodePage::Western:
            return 2;
        case CodePage::Big5:
            return 3;
        case CodePage::ShiftJis:
            return 4;
        case CodePage::Korean:
            return 5;
    }
    return 0;
}

// The tables of the byte code pages; never asked for UTF-8, which has none.
const ByteTable& Table(CodePage cp) {
    static const auto tables = [] {
        std::array<std::unique_ptr<ByteTable>, kCandidates> t;
        t[Index(CodePage::Gbk)] = BuildTable("CP936");
        t[Index(CodePage::Big5)] = BuildTable("CP950");
        t[Index(CodePage::ShiftJis)] = BuildTable("CP932");
        t[Index(CodePage::Korean)] = BuildTable("CP949");
        t[Index(CodePage::Western)] = BuildWesternTable();
        return t;
    }();
    return *tables[Index(cp)];
}

// Reads `bytes` in a byte code page, handing each character to `sink` as
// (character, first byte offset, byte count); a byte that starts no
// character is handed as its stand-in with a count of 1. Same rules as
// iconv with the codec's fallback: a lead byte whose pair is no character
// stands alone, and the next byte starts afresh.
template <typename Sink>
void ReadBytes(const ByteTable& table, QByteArrayView bytes, Sink&& sink) {
    const qsizetype n = bytes.size();
    const uchar* p = reinterpret_cast<const uchar*>(bytes.data());
    for (qsizetype i = 0; i < n;) {
        const uchar b = p[i];
        const char16_t one = table.single[b];
        if (one != kLead && one != kInvalid) {
            if (!sink(char32_t(one), i, 1))
                return;
            ++i;
            continue;
        }
        if (one == kLead && i + 1 < n) {
            const char16_t two = table.Pair(b, p[i + 1]);
            if (two != 0) {
                if (!sink(char32_t(two), i, 2))
                    return;
                i += 2;
                continue;
            }
        }
        if (!sink(char32_t(kRawByteBase + b), i, 1))
            return;
        ++i;
    }
}

template <typename Sink>
void ReadUtf8(QByteArrayView bytes, Sink&& sink) {
    const qsizetype n = bytes.size();
    const uchar* p = reinterpret_cast<const uchar*>(bytes.data());
    for (qsizetype i = 0; i < n;) {
        char32_t ch = 0;
        const int len = Utf8Sequence(p + i, n - i, &ch);
        if (len > 0) {
            if (!sink(ch, i, len))
                return;
            i += len;
        } else {
            if (!sink(char32_t(kRawByteBase + p[i]), i, 1))
                return;
            ++i;
        }
    }
}

template <typename Sink>
void Read(CodePage cp, QByteArrayView bytes, Sink&& sink) {
    if (cp == CodePage::Utf8)
        ReadUtf8(bytes, sink);
    else
        ReadBytes(Table(cp), bytes, sink);
}

// ---------------------------------------------------------------------------
// How plausible a reading is: the cost of its characters as text of a
// language, in quarter nats (minus the log of the character's share of
// running text). Costs listed in the generated tables come from character
// counts; the rest from where the code pages put a character (their first
// levels hold the characters in everyday use).

enum Model { kSimplified, kTraditional, kJapanese, kKoreanText, kWesternText, kModels };

constexpr int Q(double nats) {
    return int(nats * 4 + 0.5);
}

enum Flag : quint8 {
    kAsciiLetter = 1,
    kLetter = 2,  // a letter of an alphabet (Latin, Greek, Cyrillic) above ASCII
    kIdeograph = 4,
    kError = 8,  // a stand-in, private use, C1 control or noncharacter
    kHangul = 16,
};

// A character's cost in each model and its flags side by side: scoring a
// character reads one place.
struct CharInfo {
    std::array<quint8, kModels> cost;
    quint8 flags;
};
struct Costs {
    std::array<CharInfo, 0x10000> chars;
};

void SetRange(Costs& c, Model m, char32_t from, char32_t to, double nats) {
    for (char32_t u = from; u <= to; ++u) c.chars[u].cost[m] = quint8(Q(nats));
}

void SetAll(Costs& c, char32_t from, char32_t to, double nats) {
    for (int m = 0; m < kModels; ++m) SetRange(c, Model(m), from, to, nats);
}

// Lowers the cost of listed characters; a count-based cost above the cost of
// the character's level says only that the corpus was small.
void ApplyList(Costs& c, Model m, const CharCosts* list, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const QString chars = QString::fromUtf8(list[i].chars);
        for (QChar ch : chars)
            c.chars[ch.unicode()].cost[m] = std::min(c.chars[ch.unicode()].cost[m], list[i].cost);
    }
}

// Gives the characters a code page has in a range of byte pairs a cost,
// where it is lower than the one they have.
void ApplyPairs(Costs& c, Model m, CodePage cp, int lead0, int lead1, int trail0, int trail1,
                double nats) {
    const ByteTable& t = Table(cp);
    const quint8 q = quint8(Q(nats));
    for (int lead = lead0; lead <= lead1; ++lead)
        for (int trail = trail0; trail <= trail1; ++trail)
            if (const char16_t u = t.Pair(uchar(lead), uchar(trail)); u != 0)
                c.chars[u].cost[m] = std::min(c.chars[u].cost[m], q);
}

std::unique_ptr<Costs> BuildCosts() {
    auto c = std::make_unique<Costs>();
    for (CharInfo& info : c->chars) {
        info.cost.fill(quint8(Q(14)));
        info.flags = 0;
    }

    // ASCII reads the same in every code page but is also what a trail byte
    // becomes in a reading that splits a pair: symbols that titles seldom
    // hold cost more than letters, digits and common punctuation.
    SetAll(*c, 0x00, 0x7F, 5);
    for (char32_t u = 0; u < 0x80; ++u) {
        const bool letter = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
        if (letter)
            c->chars[u].flags |= kAsciiLetter;
        if (letter || (u >= '0' && u <= '9') || u == 0 ||
            std::string_view(" .,'-!?&()/:;\"#+*").find(char(u)) != std::string_view::npos)
            SetAll(*c, u, u, 3);
    }

    // Western: letters of the Latin-1 range and the Latin extensions (the
    // context rule in Analyse charges those not next to a letter), the
    // punctuation Windows-1252 adds, and Latin-1 symbols by how often titles
    // and names hold them.
    for (char32_t u = 0xC0; u <= 0x24F; ++u)
        SetRange(*c, kWesternText, u, u, QChar::isUpper(u) ? 7 : 5.5);
    for (const auto& [letters, nats] :
         {std::pair{u"éèàçüöäñáíóúãõêâô", 4.0}, std::pair{u"ßëïîûùåøæ", 5.0},
          std::pair{u"ÉÀÇÜÖÄÑÁÍÓÚÅØÆ", 6.0}})
        for (const char16_t* l = letters; *l; ++l) SetRange(*c, kWesternText, *l, *l, nats);
    SetRange(*c, kWesternText, 0x1E00, 0x1EFF, 5);
    SetRange(*c, kWesternText, 0x370, 0x4FF, 5);
    for (char32_t u : {0xD7, 0xF7}) SetRange(*c, kWesternText, u, u, 10);
    SetRange(*c, kWesternText, 0xA0, 0xBF, 10);
    for (char32_t u : {0xA1, 0xA9, 0xAA, 0xAB, 0xAE, 0xB0, 0xBA, 0xBB, 0xBF})
        SetRange(*c, kWesternText, u, u, 8);
    for (char32_t u :
         {0x2013, 0x2014, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2026, 0x2122, 0x20AC})
        SetRange(*c, kWesternText, u, u, 6);
    for (char32_t u = 0xC0; u <= 0x24F; ++u)
        if (u != 0xD7 && u != 0xF7)
            c->chars[u].flags |= kLetter;
    for (char32_t u = 0x370; u <= 0x4FF; ++u)
        if (QChar::isLetter(u))
            c->chars[u].flags |= kLetter;
    for (char32_t u = 0x1E00; u <= 0x1EFF; ++u) c->chars[u].flags |= kLetter;

    // Punctuation and symbols of the East Asian code pages.
    for (Model m : {kSimplified, kTraditional, kJapanese, kKoreanText}) {
        SetRange(*c, m, 0x3000, 0x303F, 6.5);
        SetRange(*c, m, 0xFF01, 0xFF5E, 7);
        SetRange(*c, m, 0xFF10, 0xFF19, 9);
        SetRange(*c, m, 0xFF21, 0xFF3A, 9);
        SetRange(*c, m, 0xFF41, 0xFF5A, 9);
        SetRange(*c, m, 0x2010, 0x203F, 7);
        SetRange(*c, m, 0xB7, 0xB7, 7);
        SetRange(*c, m, 0x370, 0x4FF, 11);
        SetRange(*c, m, 0x2190, 0x25FF, 13);
        SetRange(*c, m, 0x2600, 0x27BF, 13);
    }
    // Kana turn up in Chinese titles too ("の" for "的").
    for (Model m : {kSimplified, kTraditional, kKoreanText}) SetRange(*c, m, 0x3041, 0x30FF, 11);
    SetRange(*c, kJapanese, 0x3041, 0x309F, 4.5);
    SetRange(*c, kJapanese, 0x30A0, 0x30FF, 5);
    SetRange(*c, kJapanese, 0x3005, 0x3005, 6);
    for (char16_t u : std::u16string_view(u"ゎゐゑゔゕゖヮヰヱヴヵヶヷヸヹヺ"))
        SetRange(*c, kJapanese, u, u, 9);
    SetRange(*c, kJapanese, 0xFF61, 0xFF9F, 11);

    // Hanzi, kanji, hanja by level, then by count.
    SetRange(*c, kSimplified, 0x4E00, 0x9FFF, 13.5);
    SetRange(*c, kTraditional, 0x4E00, 0x9FFF, 13.5);
    SetRange(*c, kJapanese, 0x4E00, 0x9FFF, 13.5);
    ApplyPairs(*c, kSimplified, CodePage::Gbk, 0xB0, 0xD7, 0xA1, 0xFE, 10.5);
    ApplyPairs(*c, kSimplified, CodePage::Gbk, 0xD8, 0xF7, 0xA1, 0xFE, 12);
    ApplyPairs(*c, kTraditional, CodePage::Big5, 0xA4, 0xC6, 0x40, 0xFE, 10.5);
    ApplyPairs(*c, kTraditional, CodePage::Big5, 0xC9, 0xF9, 0x40, 0xFE, 12);
    ApplyPairs(*c, kJapanese, CodePage::ShiftJis, 0x88, 0x98, 0x40, 0xFC, 10);
    ApplyPairs(*c, kJapanese, CodePage::ShiftJis, 0x99, 0xEA, 0x40, 0xFC, 12);
    ApplyPairs(*c, kKoreanText, CodePage::Korean, 0xCA, 0xFD, 0xA1, 0xFE, 13);
    ApplyList(*c, kSimplified, kSimplifiedCosts, std::size(kSimplifiedCosts));
    ApplyList(*c, kTraditional, kTraditionalCosts, std::size(kTraditionalCosts));
    ApplyList(*c, kJapanese, kJapaneseCosts, std::size(kJapaneseCosts));
    for (char32_t u = 0x4E00; u <= 0x9FFF; ++u) c->chars[u].flags |= kIdeograph;
    for (char32_t u = 0x3400; u <= 0x4DBF; ++u) c->chars[u].flags |= kIdeograph;
    for (char32_t u = 0xF900; u <= 0xFAFF; ++u) c->chars[u].flags |= kIdeograph;

    // Hangul: the 2,350 syllables of KS X 1001, then by count.
    SetRange(*c, kKoreanText, 0xAC00, 0xD7A3, 12.5);
    ApplyPairs(*c, kKoreanText, CodePage::Korean, 0xB0, 0xC8, 0xA1, 0xFE, 12);
    ApplyList(*c, kKoreanText, kKoreanCosts, std::size(kKoreanCosts));
    SetRange(*c, kKoreanText, 0x3131, 0x318E, 10);
    for (char32_t u = 0xAC00; u <= 0xD7A3; ++u) c->chars[u].flags |= kHangul;

    // Errors.
    for (char32_t u = 0x80; u <= 0x9F; ++u) c->chars[u].flags |= kError;
    for (char32_t u = 0xE000; u <= 0xF8FF; ++u) c->chars[u].flags |= kError;
    for (char32_t u : {0xFFFE, 0xFFFF, 0xFFFD}) c->chars[u].flags |= kError;
    return c;
}

const Costs& CostTable() {
    static const auto costs = BuildCosts();
    return *costs;
}

// What a code page says about the languages written in it, in nats: the
// extra cost of reading its text as that language (a large value: never).
constexpr int kNever = 1 << 20;
constexpr int N = kNever;
constexpr int kBias[kCandidates][kModels] = {
    // Simplified, Traditional, Japanese, Korean, Western
    {Q(0), Q(1.5), Q(5), N, Q(2)},   // 936
    {Q(0), Q(0), Q(0), Q(0), Q(0)},  // UTF-8
    {N, N, N, N, Q(0)},              // 1252
    {Q(1), Q(0), Q(4), N, Q(4)},     // 950
    {Q(3), Q(3), Q(0), N, Q(4)},     // 932
    {Q(3), Q(3), Q(3), Q(0), Q(4)},  // 949
};
// How common each code page is in the libraries of this program's users.
constexpr int kPrior[kCandidates] = {Q(0), Q(0.5), Q(0.5), Q(1.5), Q(2), Q(2.5)};
// Readings closer than this are a close call.
constexpr int kClearMargin = Q(3);
// A text of a file that reads this much worse in the file's code page than
// on its own was written by another hand.
constexpr int kDisagreement = Q(12);

struct Score {
    // Out of the running for this text: the reading has an error, or is far
    // less plausible than another one. Its cost is then unknown.
    bool out = false;
    int cost = 0;
    bool multiByte = false;  // held a character of more than one byte
};

// Where a character cut off by the end of a fixed-width field begins (the
// end of the bytes when none is). Such a character is no error: writers cut
// texts to the width anywhere. The shortest text field of ID3v1 is 28 bytes;
// shorter texts were not cut.
constexpr qsizetype kShortestCutField = 28;
// Most fields are not cut: a cut character costs about what an uncommon one
// does.
constexpr int kCutCost = Q(6);
qsizetype CutAt(CodePage cp, QByteArrayView bytes) {
    const qsizetype end = bytes.size();
    if (end < kShortestCutField)
        return end;
    const uchar* p = reinterpret_cast<const uchar*>(bytes.data());
    if (cp == CodePage::Utf8) {
        for (qsizetype at = end - 1; at >= 0 && at >= end - 3; --at) {
            char32_t ch;
            if (p[at] >= 0xC2 && Utf8Sequence(p + at, end - at, &ch) == -1)
                return at;
        }
        return end;
    }
    if (Table(cp).single[p[end - 1]] != kLead)
        return end;
    // Whether the last lead byte starts a character or ends one depends on
    // everything before it.
    const ByteTable& table = Table(cp);
    qsizetype at = 0;
    while (at < end - 1)
        at += table.single[p[at]] == kLead && table.Pair(p[at], p[at + 1]) != 0 ? 2 : 1;
    return at == end - 1 ? at : end;
}

// Scores `bytes` read in `cp`; `end` is where their trailing zero and space
// padding begins, which reads as the same ASCII in every code page. Scoring
// stops, the reading out, at the first error or once the cost passes `limit`.
Score Analyse(CodePage cp, QByteArrayView bytes, qsizetype end, int limit) {
    const Costs& costs = CostTable();
    const qsizetype cut = CutAt(cp, bytes);
    const int k = Index(cp);

    Score s;
    int sums[kModels] = {};
    int cutCost = 0;
    const auto total = [&] {
        int best = kNever;
        for (int m = 0; m < kModels; ++m)
            if (kBias[k][m] < kNever)
                best = std::min(best, sums[m] + kBias[k][m]);
        return best + kPrior[k] + cutCost;
    };
    // Each character is scored once the next one is known, for the context
    // rule: accented letters stand next to letters; ideographs and symbols
    // seldom stand inside a Latin word.
    char32_t held = 0, before = 0;
    quint8 heldFlags = 0, beforeHeld = 0;
    bool holding = false;
    const auto score = [&](quint8 after) {
        int extra = 0;
        if (heldFlags & kLetter) {
            if (!((beforeHeld | after) & kAsciiLetter))
                extra = ((beforeHeld | after) & kLetter) ? Q(4) : Q(5);
        } else if (held >= 0x80) {
            const int letters =
                (beforeHeld & kAsciiLetter ? 1 : 0) + (after & kAsciiLetter ? 1 : 0);
            extra = letters == 2 ? Q(4) : letters == 1 && (heldFlags & kIdeograph) ? Q(1.5) : 0;
            // Korean writes hanja as words of their own, not inside Hangul ones.
            if ((heldFlags & kHangul) && ((beforeHeld | after) & kIdeograph))
                extra += Q(3);
            // Chinese doubles characters (乐乐, 星星); Korean seldom says one
            // syllable twice running, so a doubled one hints at Chinese bytes.
            if ((heldFlags & kHangul) && held == before)
                extra += Q(4);
        }
        if (held > 0xFFFF) {
            for (int& sum : sums) sum += Q(14) + extra;
            return;
        }
        const CharInfo& info = costs.chars[held];
        for (int m = 0; m < kModels; ++m) sums[m] += info.cost[m] + extra;
    };
    Read(cp, bytes.first(end), [&](char32_t ch, qsizetype at, int len) {
        s.multiByte |= len > 1;
        const quint8 f = ch > 0xFFFF ? 0 : costs.chars[ch].flags;
        if (f & kError) {
            if (at < cut) {
                s.out = true;
                return false;
            }
            cutCost = kCutCost;
            return true;
        }
        if (holding) {
            score(f);
            beforeHeld = heldFlags;
            before = held;
            if (held >= 0x80 && total() > limit) {
                s.out = true;
                return false;
            }
        }
        held = ch;
        heldFlags = f;
        holding = true;
        return true;
    });
    if (s.out)
        return s;
    if (holding)
        score(0);
    s.cost = total();
    s.out = s.cost > limit;
    return s;
}

bool AllAscii(QByteArrayView bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char b) { return uchar(b) < 0x80; });
}

// A text's scores, in the order of kOrder.
using Scores = std::array<Score, kCandidates>;

Scores ScoreText(QByteArrayView text) {
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == '\0' || text[end - 1] == ' ')) --end;
    Scores out;
    int best = kNever - kDisagreement;
    for (int k = 0; k < kCandidates; ++k) {
        out[k] = Analyse(kOrder[k], text, end, best + kDisagreement);
        if (!out[k].out && (kOrder[k] != CodePage::Utf8 || out[k].multiByte))
            best = std::min(best, out[k].cost);
    }
    return out;
}

// Whether code page k takes part for these texts: UTF-8 only when one of
// them holds a multi-byte sequence.
bool Reads(const Scores* rows, qsizetype n, int k) {
    bool multiByte = false;
    for (qsizetype i = 0; i < n; ++i) {
        if (rows[i][k].out)
            return false;
        multiByte |= rows[i][k].multiByte;
    }
    return kOrder[k] != CodePage::Utf8 || multiByte;
}

struct Choice {
    CodePage cp = CodePage::Gbk;
    Certainty certainty = Certainty::Ascii;
};

// Decides the code page of texts (none of them ASCII only) from their scores.
Choice Decide(const Scores* rows, qsizetype n, const Options& options) {
    struct Candidate {
        int k;
        int cost;
    };
    QVarLengthArray<Candidate, kCandidates> all;
    for (int k = 0; k < kCandidates; ++k) {
        if (!Reads(rows, n, k))
            continue;
        int cost = 0;
        for (qsizetype i = 0; i < n; ++i) cost += rows[i][k].cost;
        all.append({k, cost});
    }
    if (all.isEmpty())
        return {CodePage::Gbk, Certainty::Unreadable};
    std::stable_sort(all.begin(), all.end(),
                     [](const Candidate& a, const Candidate& b) { return a.cost < b.cost; });
    const CodePage best = kOrder[all[0].k];
    if (all.size() == 1)
        return {best, Certainty::Only};
    if (all[1].cost - all[0].cost >= kClearMargin)
        return {best, Certainty::Clear};
    if (options.folder) {
        for (const Candidate& c : all)
            if (kOrder[c.k] == *options.folder && c.cost - all[0].cost < kClearMargin)
                return {*options.folder, Certainty::Folder};
    }
    return {best, Certainty::Guess};
}

// Whether the texts read in code page k are far less plausible, for one of
// them, than that text read alone: then more than one writer had a hand in
// the file (UTF-8 from one tool, code page 936 from another), and forcing
// one code page on all would garble some.
bool Disagree(const Scores* rows, qsizetype n, int k) {
    for (qsizetype i = 0; i < n; ++i) {
        int best = kNever;
        for (int j = 0; j < kCandidates; ++j)
            if (Reads(rows + i, 1, j))
                best = std::min(best, rows[i][j].cost);
        if (rows[i][k].cost - best > kDisagreement)
            return true;
    }
    return false;
}

bool HasStandIns(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return IsStandIn(c.unicode()); });
}

Reading Fixed(QByteArrayView bytes, CodePage cp) {
    if (AllAscii(bytes))
        return {QString::fromLatin1(bytes), cp, Certainty::Ascii};
    QString text = DecodeAs(cp, bytes);
    if (cp != CodePage::Utf8 && HasStandIns(text)) {
        QString utf8 = DecodeAs(CodePage::Utf8, bytes);
        if (!HasStandIns(utf8) && utf8.size() < bytes.size())
            return {utf8, CodePage::Utf8, Certainty::Fixed};
    }
    return {text, cp, Certainty::Fixed};
}

}  // namespace

namespace {
std::atomic<quint16> defaultFixed{0};
}  // namespace

void SetDefaultOptions(const Options& options) {
    defaultFixed.store(options.fixed ? quint16(*options.fixed) : 0);
}

Options DefaultOptions() {
    Options options;
    options.fixed = CodePageOf(defaultFixed.load());
    return options;
}

std::optional<CodePage> CodePageOf(int number) {
    for (CodePage cp : {CodePage::Gbk, CodePage::Big5, CodePage::ShiftJis, CodePage::Korean,
                        CodePage::Western, CodePage::Utf8})
        if (int(cp) == number)
            return cp;
    return std::nullopt;
}

QString DecodeAs(CodePage cp, QByteArrayView bytes) {
    if (AllAscii(bytes))
        return QString::fromLatin1(bytes);
    // No byte yields more than one UTF-16 unit.
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    char16_t* dst = begin;
    Read(cp, bytes, [&](char32_t ch, qsizetype, int) {
        if (ch > 0xFFFF) {
            *dst++ = QChar::highSurrogate(ch);
            *dst++ = QChar::lowSurrogate(ch);
        } else
            *dst++ = char16_t(ch);
        return true;
    });
    out.truncate(dst - begin);
    return out;
}

Reading Decode(QByteArrayView bytes, const Options& options) {
    return DecodeFile({bytes}, options).texts.front();
}

FileReading DecodeFile(const QList<QByteArrayView>& texts, const Options& options) {
    FileReading file;
    file.texts.reserve(texts.size());
    if (options.fixed) {
        file.codePage = *options.fixed;
        file.certainty = Certainty::Fixed;
        bool any = false;
        for (QByteArrayView t : texts) {
            file.texts.append(Fixed(t, *options.fixed));
            any |= file.texts.back().certainty != Certainty::Ascii;
        }
        if (!any)
            file.certainty = Certainty::Ascii;
        return file;
    }

    QVarLengthArray<Scores, 8> rows;
    for (QByteArrayView t : texts)
        if (!AllAscii(t))
            rows.append(ScoreText(t));
    if (rows.isEmpty()) {
        for (QByteArrayView t : texts)
            file.texts.append({QString::fromLatin1(t), CodePage::Gbk, Certainty::Ascii});
        return file;
    }

    const Choice together = Decide(rows.data(), rows.size(), options);
    const bool alone = rows.size() > 1 && (together.certainty == Certainty::Unreadable ||
                                           Disagree(rows.data(), rows.size(), Index(together.cp)));
    if (!alone) {
        file.codePage = together.cp;
        file.certainty = together.certainty;
        for (QByteArrayView t : texts)
            file.texts.append({DecodeAs(together.cp, t), together.cp,
                               AllAscii(t) ? Certainty::Ascii : together.certainty});
        return file;
    }

    // Each text decided alone; the file's code page is that of most of them.
    int counts[kCandidates] = {};
    qsizetype row = 0;
    for (QByteArrayView t : texts) {
        if (AllAscii(t)) {
            file.texts.append({QString::fromLatin1(t), CodePage::Gbk, Certainty::Ascii});
            continue;
        }
        const Choice c = Decide(&rows[row++], 1, options);
        file.texts.append({DecodeAs(c.cp, t), c.cp, c.certainty});
        file.certainty = std::max(file.certainty, c.certainty);
        ++counts[Index(c.cp)];
    }
    file.codePage =
        kOrder[std::max_element(std::begin(counts), std::end(counts)) - std::begin(counts)];
    return file;
}

void FolderVote::Add(const FileReading& file) {
    if (file.certainty != Certainty::Only && file.certainty != Certainty::Clear)
        return;
    ++decided_;
    for (auto& [cp, n] : counts_)
        if (cp == file.codePage) {
            ++n;
            return;
        }
    counts_.append({file.codePage, 1});
}

std::optional<CodePage> FolderVote::Majority() const {
    for (const auto& [cp, n] : counts_)
        if (2 * n > decided_)
            return cp;
    return std::nullopt;
}

}  // namespace legacytext
