#pragma once

#include <QRandomGenerator>
#include <QStringList>

// Pages of varied markup for the search tests, the same for the same seed.
//
// Odd pages mix accented, non-Latin and mixed-case words, character references, words split
// across nested inline elements, hidden and styled text, lists, tables, preformatted text,
// pictures with words in their alternative text, links with words in their targets, and
// comments. Even pages keep to unstyled blocks, links and line breaks over a few words, so that
// the same words meet many neighbours there: a space, a link, a non-breaking space, a picture or
// a block edge right against them.
inline QStringList searchCorpus(quint32 seed, int pageCount)
{
    // clang-format off
    static const QStringList words = {
        "garden", "Garden", "GARDEN", "café", "CAFÉ", "cafe", "Straße", "STRASSE", "ﬁne",
        "naïve", "über", "İstanbul", "σοφός", "ΣΟΦΟΣ", "Москва", "москва", "東京", "日本語",
        "שלום", "coöperate", "it’s", "it's", "“quoted”", "e\u0301te", "meeting", "notes", "plan",
        "1234", "x-ray", "e-mail", "Ærø",
    };
    static const QStringList plainWords = {"garden", "Garden", "café", "notes", "plan"};
    static const QStringList references = {
        "&amp;", "&eacute;", "&#233;", "&#x41;", "&nbsp;", "&shy;", "&lt;b&gt;", "&copy;",
        "&notit;", "&Sigma;",
    };
    // clang-format on
    const QString picture = QStringLiteral("src=\"data:image/png;base64,iVBORw0KGgo=\"");
    QRandomGenerator random(seed);
    auto pick
        = [&random](const QStringList &list) { return list.at(int(random.bounded(list.size()))); };

    auto mixedSentence = [&]() {
        QString text;
        const int length = 3 + int(random.bounded(8));
        for (int w = 0; w < length; ++w) {
            const QString word = pick(words);
            switch (random.bounded(14)) {
            case 0:
                text += word.left(2) + "<b>" + word.mid(2, 2) + "<i>" + word.mid(4) + "</i></b>";
                break;
            case 1:
                text += "<a href=\"file://velmora/?pageid=" + word + "\">" + word + "</a>";
                break;
            case 2:
                text += "<span style=\"display:none\">" + word + "</span>";
                break;
            case 3:
                text += "<span style=\"visibility:hidden\">" + word + "</span>";
                break;
            case 4:
                text += pick(references);
                break;
            case 5:
                text += "<img alt=\"" + word + "\" title=\"" + word + "\" " + picture + ">";
                break;
            case 6:
                text += "<span style=\"color: #336699; font-size: 14px\">" + word + "</span>";
                break;
            case 7:
                text += "<!-- " + word + " -->";
                break;
            case 8:
                text += word + "&nbsp;" + pick(words);
                break;
            default:
                text += word;
            }
            text += random.bounded(6) == 0 ? QString() : QStringLiteral(" ");
        }
        return text;
    };

    auto plainSentence = [&]() {
        QString text;
        const int length = 2 + int(random.bounded(6));
        for (int w = 0; w < length; ++w) {
            const QString word = pick(plainWords);
            switch (random.bounded(11)) {
            case 0:
                text += "<a href=\"file://velmora/?pageid=" + word + "\">" + word + "</a>";
                break;
            case 1:
                text += word + "&nbsp;" + pick(plainWords);
                break;
            case 2:
                text += word + "<img " + picture + ">" + pick(plainWords);
                break;
            case 3:
                text += word + "<br>" + pick(plainWords);
                break;
            case 4:
                text += word + " <b>" + pick(plainWords) + "</b>";
                break;
            case 5:
                text += "<img " + picture + "> " + word;
                break;
            default:
                text += word;
            }
            text += random.bounded(5) == 0 ? QString() : QStringLiteral(" ");
        }
        return text;
    };

    // Two pages put the same words against every kind of neighbour, one of them with a picture.
    const QString neighbours
        = "<p>garden plan garden <a href=\"x\">notes</a> garden&nbsp;café garden<br>plan garden "
          "café garden <b>plan</b> <i>garden</i> garden</p><ul><li>garden</li><li>plan garden "
          "</li></ul><div>garden<p>plan</p>café <b>garden</b>, garden-plan garden</div><p>notes"
          "&nbsp;garden plan <i>x </i>garden plan garden&nbsp;notes <b>x garden </b>plan "
          "garden <a href=\"y\"><b>z</b></a></p>";
    QStringList pages = {neighbours,
        neighbours + "<p>plan <img " + picture
            + "> garden</p><p>garden <span style=\"font-size: "
              "0\">x</span> plan garden</p>"};
    for (int p = 2; p < pageCount; ++p) {
        QString html;
        const int blocks = 1 + int(random.bounded(4));
        for (int b = 0; b < blocks; ++b) {
            if (p % 2 == 0) {
                switch (random.bounded(4)) {
                case 0:
                    html += "<ul><li>" + plainSentence() + "</li><li>" + plainSentence()
                        + "</li></ul>";
                    break;
                case 1: // a block inside text, with no space on either side
                    html += "<div>" + plainSentence() + "plan<p>notes" + plainSentence() + "</p>"
                        + plainSentence() + "</div>";
                    break;
                default:
                    html += "<p>" + plainSentence() + "</p>";
                }
                continue;
            }
            switch (random.bounded(8)) {
            case 0:
                html += "<ul><li>" + mixedSentence() + "</li><li>" + mixedSentence() + "</li></ul>";
                break;
            case 1:
                html += "<table><tr><td>" + mixedSentence() + "</td><td>" + mixedSentence()
                    + "</td></tr></table>";
                break;
            case 2:
                html += "<pre>" + mixedSentence() + "\n" + mixedSentence() + "</pre>";
                break;
            case 3:
                html += "<div>" + mixedSentence() + "<br>" + mixedSentence() + "</div>";
                break;
            case 4:
                html += "<h2>" + mixedSentence() + "</h2>";
                break;
            default:
                html += "<p>" + mixedSentence() + "</p>";
            }
        }
        pages.append(html);
    }
    return pages;
}
