#include "PhraseClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

namespace {
// Far beyond any phrase spoken, and small enough that a crafted clipboard costs nothing.
constexpr int MAX_SIGNS = 4096;
constexpr int MAX_TEXT = 65536;
constexpr int MAX_BYTES = 4 * 1024 * 1024;
} // namespace

QByteArray PhraseClipboard::encode(const CLine& line) {
    QJsonArray signs;
    const int nFirst = line.getStartFrame();
    for (const CLipSync& s : line.getSigns())
        signs.append(QJsonArray{s.getFrames() - nFirst, s.getType(), s.getLink()});
    QJsonObject o;
    o.insert(QStringLiteral("text"), line.getText());
    o.insert(QStringLiteral("signs"), signs);
    if (line.hasRole()) o.insert(QStringLiteral("role"), line.getRole().getName());
    o.insert(QStringLiteral("voiceOff"), line.isVoiceOff());
    o.insert(QStringLiteral("reaction"), line.isReaction());
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

bool PhraseClipboard::decode(const QByteArray& data, CLine& lineOut, QString& strRole) {
    if (data.size() > MAX_BYTES) return false;
    const QJsonDocument doc = QJsonDocument::fromJson(data);
    if (!doc.isObject()) return false;
    const QJsonObject o = doc.object();
    const QString strText = o.value(QStringLiteral("text")).toString();
    const QJsonArray signs = o.value(QStringLiteral("signs")).toArray();
    if (strText.size() > MAX_TEXT || signs.isEmpty() || signs.size() > MAX_SIGNS) return false;

    // The phrase is built again through its own operations: whatever the bytes say, its links keep
    // their order and its first sign opens it at 0.
    CLine line;
    line.insertText(strText, 0);
    int nPrevious = -1;
    for (qsizetype i = 0; i < signs.size(); ++i) {
        const QJsonArray a = signs.at(i).toArray();
        if (a.size() != 3) return false;
        const int nOffset = a[0].toInt(-1), nType = a[1].toInt(-1), nLink = a[2].toInt(-2);
        if (nOffset <= nPrevious || nOffset >= CTimeCode::FRAMES_PER_DAY) return false;
        if (nType < 0 || nType >= CLipSync::TYPE_COUNT || nLink < -1) return false;
        if (nPrevious < 0 && (nOffset != 0 || nLink != 0)) return false;
        if (!line.insertSign(CTimeCode::fromFrames(nOffset), nType, nLink >= 0, nLink)) return false;
        nPrevious = nOffset;
    }
    line.setVoiceOff(o.value(QStringLiteral("voiceOff")).toBool());
    line.setReaction(o.value(QStringLiteral("reaction")).toBool());
    strRole = o.value(QStringLiteral("role")).toString();
    lineOut = line;
    return true;
}

void PhraseClipboard::put(const CLine& line) {
    auto* pData = new QMimeData;
    pData->setData(QString::fromLatin1(MIME_TYPE), encode(line));
    pData->setText(line.getText());
    QGuiApplication::clipboard()->setMimeData(pData);
}

bool PhraseClipboard::take(CLine& line, QString& strRole) {
    const QMimeData* pData = QGuiApplication::clipboard()->mimeData();
    if (!pData || !pData->hasFormat(QString::fromLatin1(MIME_TYPE))) return false;
    return decode(pData->data(QString::fromLatin1(MIME_TYPE)), line, strRole);
}
