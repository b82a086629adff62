// Loaded by the search into its own off-screen page, after the page's find operation has
// selected a match. Both functions read text around the selection and then put the selection
// back as they found it, so that the next find continues from the same match.

// The whole visual line that holds the selection.
function getHighlightedSelection() {
    return velmoraHitLine()[0];
}

// The whole visual line that holds the selection, how many of its characters come before the
// selection and how long the selection's text is.
function velmoraHitLine() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return ["", 0, 0];
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
    return [text, before, hit.length];
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
