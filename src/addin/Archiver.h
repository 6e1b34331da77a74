#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <stdexcept>
#include <string>

// Every failure of the archive layer, with the fixed texts of the archiver wrappers.
class EArchiver : public std::runtime_error
{
public:
    explicit EArchiver(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

enum class TArchiverType
{
    atLha,
    atZip,
    atCab,
    atArj,
    atTar,
    atTgz,
    atBZ2,
    atRar,
    atBga,
    atYz1,
    atGCA,
    atBel,
    atNone,
    atAutoDetect
};

// The switches of the LHA archiver, each named after its letter. A byte switch of -1 is not
// given; a string switch is given when it is not empty.
struct TArchiverOptions
{
    static constexpr int NotGiven = -1;

    int a = NotGiven, c = NotGiven, e = NotGiven, f = NotGiven, h = NotGiven, i = NotGiven,
        l = NotGiven, m = NotGiven, n = NotGiven, o = NotGiven, p = NotGiven, r = NotGiven,
        s = NotGiven, t = NotGiven, u = NotGiven;
    QString w;
    int x = NotGiven, y = NotGiven, z = NotGiven, jc = NotGiven, jd = NotGiven, je = NotGiven,
        jf = NotGiven, jh = NotGiven, ji = NotGiven, jm = NotGiven, jn = NotGiven;
    QString jo, job;
    int jp = NotGiven, jr = NotGiven, jsb = NotGiven, jsc = NotGiven, jsd = NotGiven,
        jse = NotGiven, jsf = NotGiven, jsl = NotGiven, jso = NotGiven, jss = NotGiven,
        jst = NotGiven, jsv = NotGiven, jsz = NotGiven, jw = NotGiven;
    QStringList jx; // names left out
    QString jyc;
    int jyd = NotGiven, jyk = NotGiven, jyn = NotGiven, jyo = NotGiven;
    QString jz;
    int ga = NotGiven, gd = NotGiven, ge = NotGiven, gf = NotGiven, gj = NotGiven, gm = NotGiven,
        gn = NotGiven, go = NotGiven, gp = NotGiven;
    QString gr;
    int gs = NotGiven, gu = NotGiven, gw = NotGiven;

    QString UserOptions;
    QString UserFileList;
    enum class TPackFilter
    {
        pfArchiver,
        pfComponent
    } PackFilter = TPackFilter::pfComponent;
    QString ResFileName;
    bool ResOnPack = true, ResOnUnpack = true, ResOnRemoveItem = true, ResOnUpdate = false;
};

// Which operation a command line is for, as far as the response file cares.
enum class TArchiverOperation
{
    Pack,
    Unpack,
    RemoveItem,
    Update
};

// The command text the archiver would be given: the command word, every switch that is given,
// the user's own options, the archive and the destination folder in quotes, then the names (or
// the response file).
QString BuildCommandLine(const QString& command, const TArchiverOptions& options,
                         const QString& archive, const QString& destination,
                         const QStringList& names, TArchiverOperation operation,
                         bool ownerWindowHooked);

// One entry of an archive, as find first / find next report it.
struct TIndividualInfo
{
    std::uint32_t OriginalSize = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t Crc = 0;
    std::uint32_t Flag = 0;
    std::uint32_t OSType = 0;
    std::uint16_t Ratio = 0;
    std::uint16_t Date = 0;
    std::uint16_t Time = 0;
    QString FileName; // the stored name, "/" between folders, up to 513 characters
    QString Attribute;
    QString Mode;
};

// One archive format. The base says "not supported" for everything a format cannot do.
class TArchiver
{
public:
    virtual ~TArchiver() = default;

    virtual TArchiverType Type() const = 0;
    virtual void LoadDLL();
    virtual void FreeDLL();
    // Non-zero for an archive this format can read.
    virtual int CheckArchive(const QString& archive, int mode, int extra);
    // Lists the entries matching the wildcard; 0 when one was found.
    virtual int FindFirst(const QString& archive, const QString& wildcard, TIndividualInfo& info);
    virtual int FindNext(TIndividualInfo& info);
    virtual void CloseArchive();
    // Extracts into the destination; 0 on success.
    virtual int Extract(const QString& archive, const QString& destination,
                        const QStringList& names, const TArchiverOptions& options);
    virtual int Pack(const QString& archive, const QStringList& names);
    virtual int Delete(const QString& archive, const QStringList& names);
    virtual int Update(const QString& archive, const QStringList& names);
    virtual int MakeSfx(const QString& archive);
    // The command text of the last extraction, for the log.
    QString LastCommandLine() const { return m_lastCommandLine; }

protected:
    QString m_lastCommandLine;
};
