// How often the legacy decoder misreads short texts, against today's rule
// for encoding-0 text (code page 936 whenever valid, else UTF-8 when valid)
// and, where they were found at build time, uchardet and ICU's charset
// detector; then the decoder's speed against DecodeCP936 on tag texts.
//
// The texts come from bench/make_legacy_corpus.py (Chinese, Japanese,
// Korean and Western words from Debian packages). Each text is encoded with
// iconv in every code page that holds it and read back by each method; a
// reading that differs from the text by one character is a misread. Without
// the source packages the accuracy part says so and is skipped.
//
//   legacy_accuracy [--corpus FILE] [--show-misreads] [benchmark flags]
//
// --show-misreads lists every text the decoder misreads on its own.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include "store/codec.h"
#include "store/id3v2text.h"
#include "store/legacytext.h"

#ifdef TAMBERLO_HAVE_UCHARDET
#include <uchardet/uchardet.h>
#endif
#ifdef TAMBERLO_HAVE_ICU
#include <unicode/ucsdet.h>
#endif

using legacytext::CodePage;

namespace {

struct Encoding {
    CodePage cp;
    const char* iconvName;
    const char* label;
};
constexpr Encoding kEncodings[] = {
    {CodePage::Gbk, "CP936", "936"},       {CodePage::Big5, "CP950", "950"},
    {CodePage::ShiftJis, "CP932", "932"},  {CodePage::Korean, "CP949", "949"},
    {CodePage::Western, "CP1252", "1252"}, {CodePage::Utf8, "UTF-8", "UTF-8"},
};
constexpr int kEncodingCount = int(std::size(kEncodings));

// Encodes with iconv, independently of the code under test; empty when the
// code page cannot hold the text (or would not read it back the same).
QByteArray Encode(const char* name, const QByteArray& utf8) {
    const auto run = [](const char* to, const char* from, const QByteArray& in, QByteArray* out) {
        iconv_t cd = iconv_open(to, from);
        if (cd == iconv_t(-1))
            return false;
        out->resize(in.size() * 4 + 16);
        char* src = const_cast<char*>(in.data());
        char* dst = out->data();
        size_t srcLeft = in.size(), dstLeft = out->size();
        const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1) && srcLeft == 0;
        out->resize(dst - out->data());
        iconv_close(cd);
        return ok;
    };
    QByteArray bytes, back;
    if (!run(name, "UTF-8", utf8, &bytes) || !run("UTF-8", name, bytes, &back) || back != utf8)
        return {};
    return bytes;
}

QString ReadWith(const char* charset, const QByteArray& bytes) {
    if (!charset || !*charset)
        return DecodeCP936(bytes);
    iconv_t cd = iconv_open("UTF-8", charset);
    if (cd == iconv_t(-1))
        return DecodeCP936(bytes);
    QByteArray out(bytes.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(bytes.data());
    char* dst = out.data();
    size_t srcLeft = bytes.size(), dstLeft = out.size();
    const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1);
    iconv_close(cd);
    if (!ok)
        return QString();
    out.resize(dst - out.data());
    return QString::fromUtf8(out);
}

enum Method { kNewAlone, kNew, kNewFolder, kOld, kUchardet, kIcu, kMethods };
const char* const kMethodNames[kMethods] = {"decoder, each text alone",
                                            "decoder",
                                            "decoder in a folder",
                                            "today's rule",
                                            "uchardet",
                                            "ICU"};

constexpr int kBuckets = 10;
const char* const kBucketNames[kBuckets] = {"1", "2",   "3",     "4",     "5",
                                            "6", "7-9", "10-14", "15-20", "21-30"};
int Bucket(qsizetype len) {
    if (len <= 6)
        return int(len) - 1;
    return len <= 9 ? 6 : len <= 14 ? 7 : len <= 20 ? 8 : 9;
}

struct Tally {
    long cases = 0;
    long misread = 0;
    void Add(bool wrong) {
        ++cases;
        misread += wrong;
    }
};
struct Totals {
    std::array<std::array<std::array<Tally, kBuckets>, kEncodingCount>, kMethods> cell;
    std::map<QString, std::array<Tally, kMethods>> byKind;
};

QString Percent(const Tally& t) {
    if (t.cases == 0)
        return QStringLiteral("-");
    return QString::number(100.0 * double(t.misread) / double(t.cases), 'f', 2);
}

Tally Sum(const Totals& t, int method, int encoding, int b0, int b1) {
    Tally s;
    for (int e = 0; e < kEncodingCount; ++e) {
        if (encoding >= 0 && e != encoding)
            continue;
        for (int b = b0; b <= b1; ++b) {
            s.cases += t.cell[method][e][b].cases;
            s.misread += t.cell[method][e][b].misread;
        }
    }
    return s;
}

struct Case {
    QString kind;
    QString text;
    int encoding;
    QByteArray bytes;
};

void Print(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
}

void Report(const Totals& t, bool haveUchardet, bool haveIcu) {
    for (int m = 0; m < kMethods; ++m) {
        if ((m == kUchardet && !haveUchardet) || (m == kIcu && !haveIcu))
            continue;
        Print(QStringLiteral(
                  "\nMisread %, %1 (rows: length in characters; cells: misread % of cases)")
                  .arg(kMethodNames[m]));
        QString head = QStringLiteral("| length |");
        for (const Encoding& e : kEncodings) head += QStringLiteral(" %1 |").arg(e.label);
        Print(head + QStringLiteral(" all | cases |"));
        for (int b = 0; b < kBuckets; ++b) {
            QString row = QStringLiteral("| %1 |").arg(kBucketNames[b]);
            for (int e = 0; e < kEncodingCount; ++e)
                row += QStringLiteral(" %1 |").arg(Percent(t.cell[m][e][b]));
            const Tally all = Sum(t, m, -1, b, b);
            Print(row + QStringLiteral(" %1 | %2 |").arg(Percent(all)).arg(all.cases));
        }
        for (auto [name, b0, b1] : {std::tuple{"2-3", 1, 2}, std::tuple{"4+", 3, kBuckets - 1},
                                    std::tuple{"all", 0, kBuckets - 1}}) {
            QString row = QStringLiteral("| %1 |").arg(name);
            for (int e = 0; e < kEncodingCount; ++e)
                row += QStringLiteral(" %1 |").arg(Percent(Sum(t, m, e, b0, b1)));
            const Tally all = Sum(t, m, -1, b0, b1);
            Print(row + QStringLiteral(" %1 | %2 |").arg(Percent(all)).arg(all.cases));
        }
    }
    Print(QStringLiteral("\nMisread % by kind of text (all lengths, all code pages)"));
    QString head = QStringLiteral("| kind |");
    for (int m = 0; m < kMethods; ++m)
        if (!((m == kUchardet && !haveUchardet) || (m == kIcu && !haveIcu)))
            head += QStringLiteral(" %1 |").arg(kMethodNames[m]);
    Print(head);
    for (const auto& [kind, tallies] : t.byKind) {
        QString row = QStringLiteral("| %1 |").arg(kind);
        for (int m = 0; m < kMethods; ++m)
            if (!((m == kUchardet && !haveUchardet) || (m == kIcu && !haveIcu)))
                row += QStringLiteral(" %1 |").arg(Percent(tallies[m]));
        Print(row);
    }
}

bool LoadCorpus(QString path, QList<std::pair<QString, QString>>* texts) {
    QTemporaryDir dir;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("corpus.tsv"));
        QProcess gen;
        gen.start(QStringLiteral("python3"),
                  {QStringLiteral(TAMBERLO_SOURCE_DIR "/bench/make_legacy_corpus.py"), path});
        if (!gen.waitForFinished(300000) || gen.exitCode() != 0) {
            Print(QStringLiteral("Accuracy: skipped, no corpus (%1)")
                      .arg(QString::fromUtf8(gen.readAllStandardError()).trimmed()));
            return false;
        }
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        Print(QStringLiteral("Accuracy: skipped, cannot read %1").arg(path));
        return false;
    }
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).chopped(1);
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab > 0)
            texts->append({line.left(tab), line.mid(tab + 1)});
    }
    return true;
}

void RunAccuracy(const QString& corpusPath, bool showMisreads) {
    QList<std::pair<QString, QString>> texts;
    if (!LoadCorpus(corpusPath, &texts))
        return;
    bool haveUchardet = false, haveIcu = false;
#ifdef TAMBERLO_HAVE_UCHARDET
    haveUchardet = true;
    uchardet_t ud = uchardet_new();
#endif
#ifdef TAMBERLO_HAVE_ICU
    haveIcu = true;
    UErrorCode status = U_ZERO_ERROR;
    UCharsetDetector* icu = ucsdet_open(&status);
#endif

    // Cases, grouped three by three (same kind, same code page) as the
    // texts of one file.
    std::vector<Case> cases;
    for (int e = 0; e < kEncodingCount; ++e)
        for (const auto& [kind, text] : texts) {
            const QByteArray bytes = Encode(kEncodings[e].iconvName, text.toUtf8());
            if (!bytes.isEmpty())
                cases.push_back({kind, text, e, bytes});
        }
    std::stable_sort(cases.begin(), cases.end(), [](const Case& a, const Case& b) {
        return std::tie(a.encoding, a.kind) < std::tie(b.encoding, b.kind);
    });

    // Files of up to three texts, folders of up to ten files, each of one
    // kind and code page.
    std::vector<std::pair<size_t, size_t>> files;
    for (size_t i = 0; i < cases.size();) {
        size_t end = i + 1;
        while (end < cases.size() && end < i + 3 && cases[end].encoding == cases[i].encoding &&
               cases[end].kind == cases[i].kind)
            ++end;
        files.push_back({i, end});
        i = end;
    }
    const auto view = [&](std::pair<size_t, size_t> f) {
        QList<QByteArrayView> texts;
        for (size_t k = f.first; k < f.second; ++k) texts.append(cases[k].bytes);
        return texts;
    };

    Totals t;
    for (size_t f0 = 0; f0 < files.size();) {
        size_t f1 = f0 + 1;
        while (f1 < files.size() && f1 < f0 + 10 &&
               cases[files[f1].first].encoding == cases[files[f0].first].encoding &&
               cases[files[f1].first].kind == cases[files[f0].first].kind)
            ++f1;
        std::vector<legacytext::FileReading> together;
        legacytext::FolderVote vote;
        for (size_t f = f0; f < f1; ++f) {
            together.push_back(legacytext::DecodeFile(view(files[f])));
            vote.Add(together.back());
        }
        const std::optional<CodePage> folderCodePage = vote.Majority();

        for (size_t f = f0; f < f1; ++f) {
            legacytext::FileReading inFolder = together[f - f0];
            if (folderCodePage && inFolder.certainty == legacytext::Certainty::Guess)
                inFolder = legacytext::DecodeFile(view(files[f]), {.folder = folderCodePage});
            for (size_t k = files[f].first; k < files[f].second; ++k) {
                const Case& c = cases[k];
                std::array<QString, kMethods> read;
                read[kNew] = together[f - f0].texts[int(k - files[f].first)].text;
                read[kNewFolder] = inFolder.texts[int(k - files[f].first)].text;
                read[kNewAlone] = legacytext::Decode(c.bytes).text;
                read[kOld] = id3v2text::Decode(0, c.bytes);
#ifdef TAMBERLO_HAVE_UCHARDET
                uchardet_reset(ud);
                uchardet_handle_data(ud, c.bytes.constData(), c.bytes.size());
                uchardet_data_end(ud);
                read[kUchardet] = ReadWith(uchardet_get_charset(ud), c.bytes);
#endif
#ifdef TAMBERLO_HAVE_ICU
                status = U_ZERO_ERROR;
                ucsdet_setText(icu, c.bytes.constData(), int32_t(c.bytes.size()), &status);
                const UCharsetMatch* match = ucsdet_detect(icu, &status);
                read[kIcu] = ReadWith(match ? ucsdet_getName(match, &status) : nullptr, c.bytes);
#endif
                if (showMisreads && read[kNewAlone] != c.text)
                    Print(QStringLiteral("misread\t%1\t%2\t%3\t%4")
                              .arg(kEncodings[c.encoding].label, c.kind, c.text, read[kNewAlone]));
                for (int m = 0; m < kMethods; ++m) {
                    const bool wrong = read[m] != c.text;
                    t.cell[m][c.encoding][Bucket(c.text.size())].Add(wrong);
                    t.byKind[c.kind][m].Add(wrong);
                }
            }
        }
        f0 = f1;
    }
    Print(QStringLiteral(
              "Accuracy over %1 texts, %2 encoded cases. \"decoder\" reads each three texts "
              "of one kind and code page together as one file; \"decoder in a folder\" "
              "then settles close calls by the code page of ten such files")
              .arg(texts.size())
              .arg(cases.size()));
    Report(t, haveUchardet, haveIcu);
#ifdef TAMBERLO_HAVE_UCHARDET
    uchardet_delete(ud);
#endif
#ifdef TAMBERLO_HAVE_ICU
    ucsdet_close(icu);
#endif
}

// ---------------------------------------------------------------------------
// Speed on the texts of a typical Chinese library: the encoding-0 frames and
// ID3v1 fields of one file.

QList<QByteArray> TagTexts() {
    QList<QByteArray> out;
    for (const char* s : {"七里香", "周杰伦", "七里香 (Live)", "2004", "流行", "十一月的萧邦"})
        out.append(EncodeCP936(QString::fromUtf8(s)));
    out.append(EncodeCP936Fixed(QString::fromUtf8("七里香"), 30));
    out.append(EncodeCP936Fixed(QString::fromUtf8("周杰伦"), 30));
    out.append(EncodeCP936Fixed(QString::fromUtf8("七里香"), 30));
    return out;
}

void BM_DecodeCP936(benchmark::State& state) {
    const QList<QByteArray> texts = TagTexts();
    for (auto _ : state)
        for (const QByteArray& t : texts) benchmark::DoNotOptimize(DecodeCP936(t));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeCP936);

void BM_LegacyDecodeFile(benchmark::State& state) {
    const QList<QByteArray> texts = TagTexts();
    QList<QByteArrayView> views(texts.begin(), texts.end());
    legacytext::Decode("warm up");
    for (auto _ : state) benchmark::DoNotOptimize(legacytext::DecodeFile(views));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LegacyDecodeFile);

void BM_LegacyDecodeEachText(benchmark::State& state) {
    const QList<QByteArray> texts = TagTexts();
    for (auto _ : state)
        for (const QByteArray& t : texts) benchmark::DoNotOptimize(legacytext::Decode(t));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LegacyDecodeEachText);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString corpus;
    bool showMisreads = false;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (QByteArrayView(argv[i]) == "--corpus" && i + 1 < argc)
            corpus = QString::fromLocal8Bit(argv[++i]);
        else if (QByteArrayView(argv[i]) == "--show-misreads")
            showMisreads = true;
        else
            rest.push_back(argv[i]);
    }
    RunAccuracy(corpus, showMisreads);
    int n = int(rest.size());
    benchmark::Initialize(&n, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
