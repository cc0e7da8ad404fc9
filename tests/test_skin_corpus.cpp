// Every file of the corpus of broken and unusual skins gives the outcome its row names, without
// crashing and without leaving the temporary file behind.
#include "skin_load_fixture.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace mv::test {
namespace {

const QString kCorpus = QStringLiteral(MV_TEST_DATA_DIR "/skins");

struct CorpusRow {
    QString file;
    QString outcome; // "loaded" or "rejected"
};

std::vector<CorpusRow> ReadExpectations() {
    std::vector<CorpusRow> rows;
    QFile table(kCorpus + "/expected.txt");
    if (!table.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&table);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList fields = line.split(' ', Qt::SkipEmptyParts);
        rows.push_back({fields.value(0), fields.value(1)});
    }
    return rows;
}

TEST_F(SkinLoadTest, CorpusFilesGiveTheirExpectedOutcome) {
    const std::vector<CorpusRow> rows = ReadExpectations();
    ASSERT_GE(rows.size(), 20u);
    QStringList listed;
    for (const CorpusRow& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        ASSERT_TRUE(row.outcome == "loaded" || row.outcome == "rejected")
            << row.outcome.toStdString();
        ASSERT_TRUE(QFile::exists(kCorpus + "/" + row.file));
        listed << row.file;
        Skin fresh;
        const bool loaded = LoadSkin(kCorpus + "/" + row.file, fresh);
        EXPECT_EQ(loaded ? "loaded" : "rejected", row.outcome.toStdString()) << LastSkinError();
        EXPECT_EQ(fresh.faceImage.rawData, nullptr);
        EXPECT_EQ(fresh.backgroundImage.rawData, nullptr);
        EXPECT_EQ(loaded, !fresh.faceImage.dc.isNull());
        EXPECT_FALSE(QFile::exists(TempPath()));
        ReleaseSkin(fresh);
    }
    // A file added to the corpus without a row would never be checked.
    const QStringList files = QDir(kCorpus).entryList({"*.scs", "crash-*"}, QDir::Files);
    for (const QString& file : files)
        EXPECT_TRUE(listed.contains(file)) << file.toStdString() << " has no row in expected.txt";
}

// The default skins drawn at build time, when they have been: each must load.
TEST_F(SkinLoadTest, DefaultSkinsLoad) {
    const QDir folder(QStringLiteral(MV_BUILD_DATA_DIR "/skins"));
    for (const QString& file : folder.entryList({"*.scs"}, QDir::Files)) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_TRUE(face.LoadSkin(folder.filePath(file), options)) << LastSkinError();
        EXPECT_FALSE(skin.faceImage.keyed.isNull());
    }
}

} // namespace
} // namespace mv::test
