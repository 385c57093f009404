#include "failurereasons.h"

#include "atomicfile.h"

#include <QFile>
#include <QFileInfo>

namespace FailureReasons {

namespace {

struct Reason
{
    const char* found; // a phrase of the workbook layer's English message
    const char* shown;
};

// The reader's and the package's messages, most particular first.
const Reason ReadReasons[] = {
    {"inflates beyond", "文件内容太大，超出了程序能读取的上限。"},
    {"too many cells", "工作表的单元格太多，超出了程序能读取的上限。"},
    {"too many shared strings", "工作表中的文字太多，超出了程序能读取的上限。"},
    {"too long", "工作表中的文字太多，超出了程序能读取的上限。"},
    {"beyond", "工作表的行或列超出了表格的上限（1048576 行、16384 列），或单元格位置无法识别。"},
    {"active sheet does not exist", "文件中记录的打开时显示的工作表不存在，文件可能已损坏。"},
    {"active sheet is not a worksheet", "打开文件时显示的工作表不是数据表（例如是图表），无法读取。"},
    {"encrypted", "文件已加密或已损坏，无法读取。"},
    {"out of memory", "内存不足，无法读取该文件。"},
};

QString lookUp(const Reason* begin, const Reason* end, const QString& error)
{
    for (const Reason* reason = begin; reason != end; ++reason) {
        if (error.contains(QLatin1String(reason->found)))
            return QString::fromUtf8(reason->shown);
    }
    return QString();
}

// Told apart by the folder as it is now: the writer's message says only
// that no temporary folder could be made in it. A save through a link writes
// beside the file the link names, so that folder is the one asked.
QString folderReason(const QString& path)
{
    const QByteArray target = replacementTarget(QFile::encodeName(path));
    const QFileInfo folder(QFileInfo(target.isEmpty() ? path : QFile::decodeName(target)).absolutePath());
    if (!folder.isDir())
        return QStringLiteral("保存的文件夹不存在。");
    if (!folder.isWritable())
        return QStringLiteral("没有在该文件夹中保存文件的权限。");
    return QStringLiteral("无法在该文件夹中写入文件（磁盘可能已满，或是只读的）。");
}

} // namespace

QString ofRead(int status, const QString& path, const QString& error)
{
    if (status == 1)
        return QStringLiteral("文件不存在（可能已被移动、改名或删除）。");
    if (status == 2)
        return QStringLiteral("文件的后缀不是 .xlsx。");
    if (error.contains(QLatin1String("compound file")))
        return QStringLiteral("文件已加密（设置了打开密码），或是旧版 Excel 97-2003（.xls）格式的文件，无法读取。"
                              "请在 Excel 中取消密码或另存为 .xlsx 后再打开。");
    if (error.contains(QLatin1String("not a zip archive")))
        return QFileInfo(path).isReadable() ? QStringLiteral("该文件不是 Excel 工作簿（.xlsx），或已损坏。")
                                            : QStringLiteral("没有读取该文件的权限。");
    const QString known = lookUp(std::begin(ReadReasons), std::end(ReadReasons), error);
    return known.isEmpty() ? QStringLiteral("文件已损坏，或内容无法识别。") : known;
}

QString ofSave(const QString& path, const QString& error)
{
    if (error.contains(QLatin1String("past the sheet's last row")))
        return QStringLiteral("数据太长，一个工作表放不下（最多 1048576 行、16384 列），没有写入任何文件。");
    if (error.contains(QLatin1String("link to no file")))
        return QStringLiteral("这个文件名是一个链接，它指向的文件已不存在，无法保存到这里。请另选文件名。");
    if (error.contains(QLatin1String("read-only or no file")))
        return QStringLiteral("原有的同名文件是只读的（或不是普通文件），不能覆盖。");
    if (error.contains(QLatin1String("temporary folder")))
        return folderReason(path);
    if (error.contains(QLatin1String("cannot replace")))
        return QStringLiteral("无法用新文件替换原有的同名文件。");
    if (error.contains(QLatin1String("exceeds Excel's limit")))
        return QStringLiteral("有单元格中的文字超过了 Excel 单元格的上限（32767 个字符），无法写入。");
    if (error.contains(QLatin1String("Memory error")))
        return QStringLiteral("内存不足，无法写入文件。");
    // libxlsxwriter's messages for a write that failed part way.
    if (error.contains(QLatin1String("zip"), Qt::CaseInsensitive) || error.contains(QLatin1String("tmpfile"))
        || error.contains(QLatin1String("xlsx file")))
        return QStringLiteral("写入文件时出错，磁盘可能已满。");
    return QStringLiteral("写入文件时出错。");
}

} // namespace FailureReasons
