#pragma once

#include <QRandomGenerator>
#include <QStringList>

// Pages of varied markup for the search tests, the same for the same seed: accented, non-Latin
// and mixed-case words, character references, words split across nested inline elements,
// hidden text, links, pictures, comments, line breaks and blocks right against words, and markup
// the parser builds otherwise than it is written.
inline QStringList searchCorpus(quint32 seed, int pageCount)
{
    static const QStringList words = {"garden", "Garden", "GARDEN", "café", "CAFÉ", "cafe",
        "Straße", "STRASSE", "ﬁne", "naïve", "İstanbul", "σοφός", "ΣΟΦΟΣ", "Москва", "東京", "it’s",
        "it's", "e\u0301te", "notes", "plan", "x-ray"};
    static const QStringList references = {"&amp;", "&eacute;", "&#233;", "&#x41;", "&nbsp;",
        "&shy;", "&lt;b&gt;", "&notit;", "&Sigma;"};
    static const QStringList blocks = {"<p>%1</p>", "<ul><li>%1</li><li>%1</li></ul>",
        "<table><tr><td>%1</td><td>%1</td></tr></table>", "<pre>%1\n%1</pre>",
        "<div>%1<br>%1</div>", "<div>%1plan<p>notes%1</p>%1</div>", "<h2>%1</h2>",
        "<table><tr><td>%1</td></tr>%1</table>", "<div>%1</span>%1</div>",
        "<p style=\"color: red; font: 12px 'a;b'\">%1</p>", "<pre>\n%1</pre>"};
    QRandomGenerator random(seed);
    auto pick
        = [&random](const QStringList &list) { return list.at(int(random.bounded(list.size()))); };
    auto sentence = [&] {
        QString text;
        for (int w = 3 + int(random.bounded(6)); w > 0; --w) {
            const QString word = pick(words);
            const QString forms[] = {
                word.left(2) + "<b>" + word.mid(2, 2) + "<i>" + word.mid(4) + "</i></b>",
                "<a href=\"file://velmora/?pageid=" + word + "\">" + word + "</a>",
                "<span style=\"display:none\">" + word + "</span>", pick(references),
                "<img alt=\"" + word + "\" src=\"data:image/png;base64,iVBORw0KGgo=\">" + word,
                "<!-- " + word + " -->", word + "&nbsp;" + pick(words), word + "<br>" + word,
                word + " <b>" + pick(words) + "</b>", word + "<br style=\"display:none\">" + word,
                "<div style=\"display: none\">" + word + "</div>" + word};
            const int form = int(random.bounded(22));
            text += (form < 11 ? forms[form] : word) + (random.bounded(5) ? " " : "");
        }
        return text;
    };
    QStringList pages;
    for (int p = 0; p < pageCount; ++p) {
        QString html;
        for (int b = 1 + int(random.bounded(3)); b > 0; --b)
            html += pick(blocks).arg(sentence());
        pages << html;
    }
    return pages;
}
