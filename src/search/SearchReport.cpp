#include "SearchReport.h"

#include "TextCodec.h"

namespace {

const char kHeadStyle[] =
    "<html><head><title>?</title><style type='text/css'>.tdl{text-align: left; border-bottom : 1px black dotted}"
    ".tdr{text-align: right; border-bottom : 1px black dotted}.thl{text-align: left; border-bottom : 1px black solid; "
    "font-weight: bold; background-color: silver}.thr{text-align: right; border-bottom : 1px black solid; "
    "font-weight: bold; background-color: silver}.thf{text-align: left; border: 2px black solid; "
    "font-weight: bolder}</style>";
const char kHeadScript[] =
    "<script type='text/javascript'>function ShowHide(obj,mid){try{if (obj.innerHTML=='Show'){obj.innerHTML='Hide'; "
    "document.getElementById(mid).style.display='block';}else{obj.innerHTML='Show'; "
    "document.getElementById(mid).style.display='none';}}catch(ex){}}</script>";
const char kHeadBody[] = "</head><body><table border='0' cellpadding='2' cellspacing='0' width='100%'>";

} // namespace

QString SearchReport::Escape(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        case '\r': out += QLatin1String("&#13;"); break;
        case '\n': out += QLatin1String("&#10;"); break;
        default: out += c;
        }
    }
    return out;
}

void SearchReport::writeLine(const QString &line)
{
    m_file.write(TextCodec::Encode(line));
    m_file.write("\r\n");
}

bool SearchReport::Open(const QString &path, const QString &server, QString *error)
{
    Close();
    m_sections = 0;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    QString head = QString::fromLatin1(kHeadStyle);
    head.replace(QLatin1Char('?'), Escape(QStringLiteral("Ftp Qor Folder Listing: ") + server.trimmed()));
    writeLine(head);
    writeLine(QString::fromLatin1(kHeadScript));
    writeLine(QString::fromLatin1(kHeadBody));
    return true;
}

void SearchReport::WriteFolder(const QString &folderPath, const QList<FtpFileItem> &items)
{
    if (!IsOpen())
        return;
    if (m_sections > 0)
        writeLine(QStringLiteral("</table></td></tr>"));
    const QString id = QStringLiteral("T") + QString::number(++m_sections);
    writeLine(QStringLiteral("<tr><td colspan='2'>&nbsp</td></tr><tr><td class='thf' width='95%'>") + Escape(folderPath)
              + QStringLiteral("</td><td width='5%' onclick=\"ShowHide(this,'") + id
              + QStringLiteral("')\" class='thf' style='cursor: hand'>Show</td></tr><tr><td colspan='2'><table id='")
              + id + QStringLiteral("' style='display: none' border='0' cellpadding='2' cellspacing='0' width='100%'>"));
    writeLine(QStringLiteral("<tr><td class='thl' width='40%'>File</td><td class='thr' width='20%'>Size</td>"
                             "<td class='thr' width='20%'>Modified On</td><td class='thr' width='20%'>Attributes</td></tr>"));
    for (const FtpFileItem &item : items) {
        writeLine(QStringLiteral("<tr><td class='tdl'>") + Escape(item.Name) + QStringLiteral("</td><td class='tdr'>")
                  + QString::number(item.Size) + QStringLiteral("</td><td class='tdr'>") + Escape(item.DateText)
                  + QStringLiteral("&nbsp;</td><td class='tdr'>") + Escape(item.Attributes)
                  + QStringLiteral("&nbsp;</td></tr>"));
    }
}

void SearchReport::Close()
{
    if (!IsOpen())
        return;
    if (m_sections > 0)
        writeLine(QStringLiteral("</table></td></tr>"));
    writeLine(QStringLiteral("</table></body></html>"));
    m_file.close();
}
