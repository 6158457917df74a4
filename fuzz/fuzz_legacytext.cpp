// libFuzzer target over the legacy text decoder. The input is split at '|'
// into the texts of one file. Besides "no crash, no sanitizer report", it
// checks the decoder's promises and aborts when one is broken.

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "store/codec.h"
#include "store/legacytext.h"

namespace {

void Check(bool ok, const char* what) {
    if (ok)
        return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> parts = input.split('|');
    const QList<QByteArrayView> texts(parts.begin(), parts.end());

    // Code page 936 reads exactly as the codec, which inverts it.
    Check(legacytext::DecodeAs(legacytext::CodePage::Gbk, input) == DecodeCP936(input),
          "DecodeAs(936, x) == DecodeCP936(x)");

    using legacytext::Options;
    for (const Options& options : {Options{}, Options{.folder = legacytext::CodePage::Big5},
                                   Options{.fixed = legacytext::CodePage::ShiftJis}}) {
        const legacytext::FileReading file = legacytext::DecodeFile(texts, options);
        Check(file.texts.size() == texts.size(), "one reading per text");
        for (qsizetype i = 0; i < texts.size(); ++i)
            Check(file.texts[i].text == legacytext::DecodeAs(file.texts[i].codePage, texts[i]),
                  "each text is its bytes read in the code page it names");
    }
    return 0;
}
