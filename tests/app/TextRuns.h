#pragma once

#include <QString>
#include <QTextBlock>
#include <QTextDocument>
#include <ostream>
#include <vector>

// One run of text with one format: the pieces of a script text view as they are drawn, however Qt
// happens to split them into fragments.
struct SRun {
    QString strText;
    double fPoints;
    bool bBold;
    QRgb color;
    bool operator==(const SRun&) const = default;
};

inline std::vector<SRun> runsOf(const QTextDocument& doc) {
    std::vector<SRun> runs;
    for (QTextBlock b = doc.firstBlock(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            SRun r{it.fragment().text(), f.fontPointSize(), f.fontWeight() == QFont::Bold,
                   f.foreground().color().rgb()};
            if (!runs.empty() && runs.back().fPoints == r.fPoints && runs.back().bBold == r.bBold &&
                runs.back().color == r.color)
                runs.back().strText += r.strText;
            else
                runs.push_back(r);
        }
        if (b.next().isValid()) runs.push_back({QStringLiteral("¶"), 0, false, 0});
    }
    return runs;
}

inline std::ostream& operator<<(std::ostream& os, const SRun& r) {
    return os << '"' << r.strText.toStdString() << "\" " << r.fPoints << (r.bBold ? " bold " : " ")
              << std::hex << r.color << std::dec;
}
