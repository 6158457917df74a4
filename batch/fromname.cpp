#include "batch/fromname.h"

#include "batch/editreport.h"
#include "batch/id3v1edit.h"
#include "store/filefacts.h"

QString FromNamePatternProblem(const NamePattern& pattern, TagVersion version) {
    if (const QString problem = ExtractionProblem(pattern); !problem.isEmpty())
        return problem;
    for (NameField field : pattern.fields()) {
        const QString placeholder =
            QStringLiteral("“%") + NameFieldWord(field) + QStringLiteral("%”");
        const bool v2Only = field == NameField::Composer || field == NameField::AlbumArtist ||
                            field == NameField::Disc;
        if (version == TagVersion::V1 && v2Only)
            return QStringLiteral("ID3v1 标签没有") + placeholder + QStringLiteral("这一项");
    }
    return {};
}

namespace {

int ID3v1RowOf(NameField field) {
    switch (field) {
        case NameField::Title:
            return kV1Title;
        case NameField::Artist:
            return kV1Artist;
        case NameField::Album:
            return kV1Album;
        case NameField::Year:
            return kV1Year;
        default:
            return -1;
    }
}

}  // namespace

FromNameRow MatchFileName(const NamePattern& pattern, const QString& name, TagVersion version) {
    FromNameRow row;
    const std::optional<NameValues> values =
        MatchNamePattern(pattern, TitleFromFileName(FileNameOf(name)));
    if (!values) {
        row.reason = QStringLiteral("文件名与格式不符");
        return row;
    }
    row.values = *values;
    for (NameField field : {NameField::Track, NameField::Disc}) {
        QString& number = row.values[size_t(field)];
        if (!number.isEmpty())
            number = QString::number(number.toULongLong());
    }
    if (version == TagVersion::V1) {
        for (NameField field : pattern.fields()) {
            const int v1Row = ID3v1RowOf(field);
            const QString& text = row.values[size_t(field)];
            QString problem;
            if (v1Row >= 0)
                problem = ID3v1TextProblem(v1Row, text);
            else if (field == NameField::Track && (text.size() > 3 || text.toInt() > 255))
                problem = QStringLiteral("音轨 %1 超出了 ID3v1 标签的 0～255").arg(text);
            if (!problem.isEmpty()) {
                row.reason = problem;
                return row;
            }
        }
    }
    row.matched = true;
    return row;
}
