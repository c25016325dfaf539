#include "Core/Study/studypage.h"

#include <QUrl>

namespace Core::Study {

QString StudyPage::escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString StudyPage::link(const QString& relativeName) {
    QStringList segments;
    for (const QString& segment : relativeName.split(QLatin1Char('/')))
        segments << QString::fromLatin1(QUrl::toPercentEncoding(segment));
    return segments.join(QLatin1Char('/'));
}

QByteArray StudyPage::html(const QString& title, const StudyResults& results,
                           const std::vector<StudyResults::Plot>& plots,
                           const QStringList& plotFiles) {
    QString page;
    page += QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                           "<title>%1</title>\n<style>\n"
                           "body { font-family: sans-serif; margin: 1.5em; }\n"
                           "table { border-collapse: collapse; }\n"
                           "td, th { border: 1px solid #bbb; padding: 0.2em 0.5em; }\n"
                           "td.number { text-align: right; }\n"
                           "tr.failed { background: #fdd; } tr.missing { color: #888; }\n"
                           ".plots img { width: 48%; min-width: 400px; }\n"
                           ".variant { display: inline-block; margin: 0.4em; "
                           "vertical-align: top; }\n"
                           ".variant img { width: 180px; border: 1px solid #ccc; }\n"
                           "</style>\n</head>\n<body>\n<h1>%1</h1>\n")
                .arg(escaped(title));
    int done = 0;
    int failed = 0;
    for (const auto& row : results.rows) {
        done += row.status == QStringLiteral("done");
        failed += row.status == QStringLiteral("failed");
    }
    page += QStringLiteral("<p>%1 variants: %2 done, %3 failed. The table is also in "
                           "<a href=\"results.csv\">results.csv</a>.</p>\n")
                .arg(results.rows.size())
                .arg(done)
                .arg(failed);

    page += QStringLiteral("<h2>Plots</h2>\n<div class=\"plots\">\n");
    if (plots.empty())
        page += QStringLiteral("<p>No metric was measured against a numeric parameter.</p>\n");
    for (std::size_t i = 0; i < plots.size() && int(i) < plotFiles.size(); ++i)
        page += QStringLiteral("<a href=\"%1.svg\"><img src=\"%1.png\" alt=\"%2\"></a>\n")
                    .arg(link(plotFiles[int(i)]), escaped(plots[i].title));
    page += QStringLiteral("</div>\n");

    page += QStringLiteral("<h2>Variants</h2>\n<table>\n<tr><th>id</th>");
    for (const QString& parameter : results.parameters)
        page += QStringLiteral("<th>%1</th>").arg(escaped(parameter));
    for (const auto& metric : results.metrics)
        page += QStringLiteral("<th>%1</th>").arg(escaped(metric.label()));
    page += QStringLiteral("<th>status</th><th>seconds</th></tr>\n");
    for (const auto& row : results.rows) {
        page += QStringLiteral("<tr class=\"%1\"><td>%2</td>").arg(row.status, escaped(row.id));
        for (const QString& value : row.values)
            page += QStringLiteral("<td class=\"number\">%1</td>").arg(escaped(value));
        for (const auto& metric : results.metrics) {
            const auto value = row.metrics.find(metric.name);
            page += QStringLiteral("<td class=\"number\">%1</td>")
                        .arg(value == row.metrics.end() ? QString()
                                                        : QString::number(value->second, 'g', 6));
        }
        QString status = escaped(row.status);
        if (!row.reason.isEmpty())
            status += QStringLiteral(": ") + escaped(row.reason);
        page += QStringLiteral("<td>%1</td><td class=\"number\">%2</td></tr>\n")
                    .arg(status, row.seconds ? QString::number(*row.seconds, 'f', 1) : QString());
    }
    page += QStringLiteral("</table>\n<h2>Pictures</h2>\n");
    bool anyPicture = false;
    for (const auto& row : results.rows) {
        for (const QString& picture : row.pictures) {
            anyPicture = true;
            QStringList values;
            for (int p = 0; p < results.parameters.size(); ++p)
                values << results.parameters[p] + QStringLiteral(" = ") + row.values.value(p);
            page += QStringLiteral("<div class=\"variant\"><a href=\"%1\"><img src=\"%1\" "
                                   "alt=\"%2\"></a><br>%2<br><small>%3</small></div>\n")
                        .arg(link(picture), escaped(row.id),
                             escaped(values.join(QStringLiteral(", "))));
        }
    }
    if (!anyPicture)
        page += QStringLiteral("<p>The list saves no pictures.</p>\n");
    page += QStringLiteral("</body>\n</html>\n");
    return page.toUtf8();
}

} // namespace Core::Study
