// The private temporary file through which the pictures are decoded: made afresh, never through a
// link or over someone else's file, and gone after every load that made it.
#include "platform/private_temp_file.h"
#include "skin_load_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mv::test {
namespace {

bool PathExists(const QString& path) {
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0;
}

TEST_F(SkinLoadTest, TemporaryFileIsGoneAfterEveryLoad) {
    const struct {
        const char* name;
        QByteArray face;
        QByteArray background;
        bool loads;
    } cases[] = {
        {"face only", EncodePicture(FacePicture(), "PNG"), {}, true},
        {"face and background", EncodePicture(FacePicture(), "PNG"), SolidPicture(2, 2, 0), true},
        {"background does not decode", EncodePicture(FacePicture(), "PNG"), "junk", true},
        {"face does not decode", "junk", SolidPicture(2, 2, 0), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SkinFileLayout layout = SampleSpec();
        layout.face = c.face;
        layout.background = c.background;
        EXPECT_EQ(Load(layout), c.loads);
        EXPECT_FALSE(PathExists(TempPath()));
    }
    const QStringList left =
        QDir(home.RuntimeDir())
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_TRUE(left.isEmpty()) << left.join(" ").toStdString();
}

TEST_F(SkinLoadTest, LinkAtTheTemporaryPathIsNeverFollowed) {
    const QString target = home.Path() + "/precious.txt";
    ASSERT_TRUE(WriteAll(target, "keep me"));
    const QString dangling = home.Path() + "/not-yet-there";
    for (const QString& pointee : {target, dangling}) {
        SCOPED_TRACE(pointee.toStdString());
        ASSERT_EQ(symlink(QFile::encodeName(pointee).constData(),
                          QFile::encodeName(TempPath()).constData()),
                  0);
        EXPECT_FALSE(Load(SampleSpec()));
        EXPECT_EQ(std::string(LastSkinError()),
                  "no temporary file: " + TempPath().toStdString() + ": File exists");
        EXPECT_EQ(QFileInfo(TempPath()).symLinkTarget(), pointee);
        ASSERT_EQ(unlink(QFile::encodeName(TempPath()).constData()), 0);
    }
    EXPECT_EQ(ReadAll(target), "keep me");
    EXPECT_FALSE(PathExists(dangling));
}

TEST_F(SkinLoadTest, StaleTemporaryFileOfOursIsReplaced) {
    ASSERT_TRUE(WriteAll(TempPath(), "left behind by a crash"));
    // A load rejected before it makes the temporary file doesn't touch what lies at its path.
    EXPECT_FALSE(Load(QByteArray("too short")));
    EXPECT_EQ(ReadAll(TempPath()), "left behind by a crash");

    ASSERT_TRUE(Load(SampleSpec())) << LastSkinError();
    EXPECT_FALSE(skin.faceImage.bitmap.isNull());
    EXPECT_FALSE(PathExists(TempPath()));
}

TEST_F(SkinLoadTest, OtherThingsAtTheTemporaryPathAreLeftAlone) {
    const QByteArray path = QFile::encodeName(TempPath());
    ASSERT_EQ(mkfifo(path.constData(), 0600), 0);
    EXPECT_FALSE(Load(SampleSpec()));
    struct stat info {};
    ASSERT_EQ(lstat(path.constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ASSERT_EQ(unlink(path.constData()), 0);

    ASSERT_EQ(mkdir(path.constData(), 0700), 0);
    EXPECT_FALSE(Load(SampleSpec()));
    EXPECT_TRUE(QFileInfo(TempPath()).isDir());
    ASSERT_EQ(rmdir(path.constData()), 0);

    if (geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    ASSERT_TRUE(WriteAll(TempPath(), "someone else's"));
    ASSERT_EQ(chown(path.constData(), 65534, 65534), 0);
    EXPECT_FALSE(Load(SampleSpec()));
    EXPECT_EQ(ReadAll(TempPath()), "someone else's");
}

// Files this process writes stop at `bytes`, as on a full disk (EFBIG instead of ENOSPC),
// until the limit goes out of scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, saved_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

// A private folder that can't be had, or a temporary file that can't take the picture, is not
// the skin's fault: the load says so, naming the path and the system's reason.
TEST_F(SkinLoadTest, TemporaryFileThatCannotBeWrittenIsReportedAsSuch) {
    const QString path = Write("skin.scs", BuildSkinFile(SampleSpec()));
    const QString notAFolder = Write("not-a-folder", "a file");
    const QString ownFolder = QStringLiteral("/cache/TEV-runtime-%1/").arg(geteuid());
    const struct {
        const char* name;
        bool fullDisk;
        QString problem;
    } cases[] = {
        {"no private folder", false, notAFolder + ownFolder + ": Not a directory"},
        {"full folder", true, TempPath() + ": File too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.fullDisk) {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(notAFolder));
            qputenv("XDG_CACHE_HOME", QFile::encodeName(notAFolder + "/cache"));
        }
        SkinLoadFailure failure;
        std::optional<FileSizeLimit> limit;
        if (c.fullDisk)
            limit.emplace(16);
        const bool loaded = face.LoadSkin(path, options, failure);
        limit.reset();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.RuntimeDir()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home.CacheHome()));
        EXPECT_FALSE(loaded);
        EXPECT_EQ(failure.error, SkinLoadError::TempFile);
        EXPECT_EQ(failure.tempFileProblem, c.problem);
        EXPECT_EQ(SkinLoadFailureMessage(failure),
                  "The skin could not be loaded because the temporary file could not be "
                  "written:\n\n" +
                      c.problem);
        EXPECT_FALSE(PathExists(TempPath()));
    }
    // With room again, the same skin loads.
    EXPECT_TRUE(face.LoadSkin(path, options)) << LastSkinError();
}

TEST(PrivateTempFileTest, IsPrivateRewoundAndDeletedOnlyWhileItIsStillOurs) {
    IsolatedHome home;
    const QString path = home.Path() + "/scratch.tmp";
    const QByteArray encoded = QFile::encodeName(path);
    {
        PrivateTempFile temp;
        ASSERT_TRUE(temp.Create(path));
        EXPECT_FALSE(temp.Create(path)); // one file per owner
        struct stat info {};
        ASSERT_EQ(fstat(temp.Descriptor(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u);

        const uint8_t longer[] = {1, 2, 3, 4, 5, 6};
        const uint8_t shorter[] = {9, 8};
        ASSERT_TRUE(temp.Replace(longer));
        ASSERT_TRUE(temp.Replace(shorter));
        uint8_t back[8] = {};
        EXPECT_EQ(read(temp.Descriptor(), back, sizeof(back)), 2);
        EXPECT_EQ(back[0], 9);
        EXPECT_EQ(back[1], 8);
    }
    EXPECT_FALSE(PathExists(path));

    // Someone put another file at the path meanwhile: it is not ours to delete.
    {
        PrivateTempFile temp;
        ASSERT_TRUE(temp.Create(path));
        const QString other = home.Path() + "/other";
        ASSERT_TRUE(WriteAll(other, "theirs"));
        ASSERT_EQ(rename(QFile::encodeName(other).constData(), encoded.constData()), 0);
    }
    EXPECT_EQ(ReadAll(path), "theirs");
}

} // namespace
} // namespace mv::test
