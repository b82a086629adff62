// Loaded by the search into its own off-screen page, in a world of its own beside the page's.
// Once the page's find has selected a match, the functions below read text around the selection
// and then put the selection back as they found it, so that the next find continues from the
// same match.

// Nothing in the page can take the focus. The find turns its match into the selection when it
// ends, unless the match holds something that can take the focus (a link, a checkbox): then it
// focuses that instead and leaves no selection to read. What the find matches stays the same.
function velmoraUnfocusable() {
    var controls = document.querySelectorAll("input, textarea, select, button");
    for (var i = 0; i < controls.length; ++i)
        controls[i].disabled = true;
    var others = document.querySelectorAll("[href], [tabindex], [contenteditable]");
    for (var j = 0; j < others.length; ++j) {
        others[j].removeAttribute("href");
        others[j].removeAttribute("tabindex");
        others[j].removeAttribute("contenteditable");
    }
}

// The whole visual line that holds the selection.
function getHighlightedSelection() {
    return velmoraHitLine()[0];
}

// The whole visual line that holds the selection, how many of its characters come before the
// selection, how long the selection's text is, and that text.
function velmoraHitLine() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return ["", 0, 0, ""];
    var saved = selection.getRangeAt(0).cloneRange();
    var hit = selection.toString();
    selection.modify("move", "backward", "lineboundary");
    var lineNode = selection.anchorNode;
    var lineOffset = selection.anchorOffset;
    selection.modify("extend", "forward", "lineboundary");
    var text = selection.toString();
    var before = 0;
    if (lineNode) {
        selection.setBaseAndExtent(lineNode, lineOffset, saved.startContainer, saved.startOffset);
        before = selection.toString().length;
    }
    selection.removeAllRanges();
    selection.addRange(saved);
    return [text, before, hit.length, hit];
}

// The selection with wordsDelta words on either side of it.
function selectAround(wordsDelta) {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return "";
    var saved = selection.getRangeAt(0).cloneRange();
    var i;
    for (i = 0; i < wordsDelta + 1; ++i)
        selection.modify("move", "backward", "word");
    for (i = 0; i < 2 * wordsDelta + 1; ++i)
        selection.modify("extend", "forward", "word");
    var text = selection.toString();
    selection.removeAllRanges();
    selection.addRange(saved);
    return text;
}

// Where the selection lies, as a text; the search compares it from hit to hit to notice a find
// that no longer moves on.
function velmoraSelectionKey() {
    var selection = window.getSelection();
    if (!selection.rangeCount)
        return '';
    function path(node, offset) {
        var steps = [offset];
        for (; node; node = node.parentNode) {
            var index = 0;
            for (var sibling = node.previousSibling; sibling; sibling = sibling.previousSibling)
                ++index;
            steps.push(index);
        }
        return steps.join('.');
    }
    var range = selection.getRangeAt(0);
    return path(range.startContainer, range.startOffset) + '-'
        + path(range.endContainer, range.endOffset);
}
