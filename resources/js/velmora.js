// Runs in every page document the editor shows. It is loaded after jQuery and before
// jQuery UI, so anything that needs the resizable widget waits for the document to be ready.
// The host reaches the page through the global functions below and is called back through the
// bridge object "page".

var leftButtonClickedElement = null;
var rightButtonClickedElement = null;
// The one image that carries the resize handles, or null.
var resizableElement = null;
// The image's own style, class and size from before it was made resizable.
var resizableOriginal = null;
// The sizes pictures had before each drag of their handles, newest last. A new size is not one
// of the engine's edits, so the undo command takes these back first; any other edit forgets
// them.
var resizeUndo = [];

function setLeftButtonClickedElement(elem) {
    // While an image is resizable its parent is the wrapper, which also holds the handles:
    // a press on either keeps the decoration, a press anywhere else drops it.
    if (resizableElement !== null && elem.parentElement !== resizableElement.parentElement)
        removeResizable();
    leftButtonClickedElement = elem;
    if (elem.tagName === "IMG")
        makeResizable(elem);
}

function makeResizable(elem) {
    if (resizableElement === elem)
        return;
    tryRemoveResizable();
    resizableOriginal = {
        style: elem.getAttribute("style"),
        className: elem.getAttribute("class"),
        width: $(elem).width(),
        height: $(elem).height()
    };
    $(elem).resizable({
        aspectRatio: true,
        start: function () {
            resizeUndo.push({
                elem: elem,
                style: resizableOriginal.style,
                sizeChanged: $(elem).width() !== resizableOriginal.width
                    || $(elem).height() !== resizableOriginal.height,
                width: $(elem).width(),
                height: $(elem).height()
            });
        },
        stop: function () {
            page.updatePageContent();
        }
    });
    resizableElement = elem;
}

function restoreAttribute(elem, name, value) {
    if (value === null || value === "")
        elem.removeAttribute(name);
    else
        elem.setAttribute(name, value);
}

function removeResizable() {
    var elem = resizableElement;
    var original = resizableOriginal;
    // Cleared first: destroying the widget moves the image, and the selection change that
    // follows must not try to remove the decoration a second time.
    resizableElement = null;
    resizableOriginal = null;
    var width = $(elem).width();
    var height = $(elem).height();
    $(elem).resizable("destroy");
    // The widget leaves its positioning, margins and display on the image, and sets the width
    // to the wrapper's, border included, so that every click would grow the image by its
    // border. The image gets its own attributes back, and a size only when it was resized.
    restoreAttribute(elem, "style", original.style);
    restoreAttribute(elem, "class", original.className);
    if (width !== original.width || height !== original.height)
        $(elem).css({ width: width + "px", height: height + "px" });
    $(elem).css("display", "");
    restoreAttribute(elem, "style", elem.getAttribute("style"));
}

function tryRemoveResizable() {
    if (resizableElement !== null)
        removeResizable();
}

// Gives the picture last resized its size from before; false when there is nothing to undo.
function undoResize() {
    var entry = resizeUndo.pop();
    if (!entry)
        return false;
    if (!document.body.contains(entry.elem))
        return undoResize();
    tryRemoveResizable();
    restoreAttribute(entry.elem, "style", entry.style);
    if (entry.sizeChanged)
        $(entry.elem).css({ width: entry.width + "px", height: entry.height + "px" });
    page.updatePageContent();
    return true;
}

// Return at the end of a link gives the new line an empty copy of the link, and typing there
// would make a second link. The copy is taken away: the new line starts as plain text.
function leaveEmptyLinkAtCaret() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0 || !selection.isCollapsed)
        return;
    var link = selection.anchorNode;
    while (link && link.nodeName !== "A")
        link = link.parentNode;
    if (!link || link.textContent.replace(/\u200b/g, "") !== "")
        return;
    var parent = link.parentNode;
    var index = Array.prototype.indexOf.call(parent.childNodes, link);
    while (link.firstChild)
        parent.insertBefore(link.firstChild, link);
    parent.removeChild(link);
    var range = document.createRange();
    range.setStart(parent, index);
    range.collapse(true);
    selection.removeAllRanges();
    selection.addRange(range);
}

// A picture pasted or dropped into a page keeps the id it had where it was copied from, and
// "Remove Image" would then find the first picture with that id instead of this one. A copy
// whose id is already taken gets a fresh one.
function freshImageId() {
    var hex = "0123456789abcdef";
    var digits = "";
    for (var i = 0; i < 32; ++i)
        digits += hex.charAt(Math.floor(Math.random() * 16));
    return "{" + digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-4" + digits.substr(13, 3)
        + "-" + digits.substr(16, 4) + "-" + digits.substr(20, 12) + "}";
}

function renumberCopiedImages(node) {
    if (node.nodeType !== 1)
        return false;
    var images = node.nodeName === "IMG" ? [node] : node.getElementsByTagName("img");
    var renamed = false;
    for (var i = 0; i < images.length; ++i) {
        var id = images[i].getAttribute("id");
        if (!id)
            continue;
        var same = document.querySelectorAll("img");
        var count = 0;
        for (var k = 0; k < same.length; ++k) {
            if (same[k].getAttribute("id") === id)
                ++count;
        }
        if (count > 1) {
            images[i].setAttribute("id", freshImageId());
            renamed = true;
        }
    }
    return renamed;
}

// Called by the host before every commit, so that the stored page never holds the wrapper or
// the handles.
function cleanupBeforeSaveContent() {
    tryRemoveResizable();
}

function removeImage(imgElementId) {
    var elem = document.getElementById(imgElementId);
    if (elem === null)
        return;
    if (elem === resizableElement)
        removeResizable();
    elem.parentNode.removeChild(elem);
    page.updatePageContent();
}

// Replaces the first selection range by the given markup. The caret ends after the inserted
// nodes, or the inserted nodes end up selected when selectPastedContent is true.
function pasteHtmlAtCaret(html, selectPastedContent) {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return;
    var range = selection.getRangeAt(0);
    range.deleteContents();

    var container = document.createElement("div");
    container.innerHTML = html;
    var fragment = document.createDocumentFragment();
    var firstNode = container.firstChild;
    var lastNode = null;
    var node;
    while ((node = container.firstChild) !== null)
        lastNode = fragment.appendChild(node);
    range.insertNode(fragment);

    if (lastNode === null)
        return;
    range = range.cloneRange();
    range.setStartAfter(lastNode);
    if (selectPastedContent)
        range.setStartBefore(firstNode);
    else
        range.collapse(true);
    selection.removeAllRanges();
    selection.addRange(range);
}

function selectedText() {
    return window.getSelection().toString();
}

function hasSelection() {
    return selectedText().trim().length > 0;
}

function selectedHTML() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return "";
    var container = document.createElement("div");
    for (var i = 0; i < selection.rangeCount; ++i)
        container.appendChild(selection.getRangeAt(i).cloneContents());
    return container.innerHTML;
}

// True when nothing is selected and the caret has a non-blank character on both sides.
function isInsideWordWithoutSelection() {
    if (hasSelection())
        return false;
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return false;
    // The probes below move the selection; put the caret back exactly where it was, also at
    // the start or end of the document, where a probe cannot extend and the move back would
    // otherwise shift the caret by one.
    var saved = selection.getRangeAt(0).cloneRange();
    selection.collapseToStart();
    selection.modify("extend", "backward", "character");
    var result = selection.toString().trim().length > 0;
    if (result) {
        selection.collapseToEnd();
        selection.modify("extend", "forward", "character");
        result = selection.toString().trim().length > 0;
    }
    selection.removeAllRanges();
    selection.addRange(saved);
    return result;
}

function getLeftButtonClickedElement() {
    return leftButtonClickedElement;
}

function getRightButtonClickedElement() {
    return rightButtonClickedElement;
}

function currentElement() {
    return document.activeElement;
}

function deleteElementWithID(elementID) {
    var elem = document.getElementById(elementID);
    if (elem !== null)
        elem.parentNode.removeChild(elem);
}

// Selects the word at the caret. Where a forward word move stops differs between platforms:
// after the following space on Windows, at the end of the word elsewhere. Stepping back one
// character unconditionally cut the last letter off the word, so only a trailing space is
// given back.
function selectWord() {
    var sel = document.getSelection();
    sel.modify("move", "forward", "word");
    sel.modify("move", "backward", "word");
    sel.modify("extend", "forward", "word");
    if (/\s$/.test(sel.toString()))
        sel.modify("extend", "backward", "character");
}

// Adds the contents of the link around the selection's anchor to the selection.
function selectLink() {
    var selection = document.getSelection();
    var node = selection.anchorNode;
    while (node && node.nodeName !== "A")
        node = node.parentNode;
    if (node) {
        var range = document.createRange();
        range.selectNodeContents(node);
        selection.addRange(range);
    }
}

function collapseSelectionToStart() {
    if (window.getSelection().rangeCount > 0)
        window.getSelection().collapseToStart();
}

// Wraps the selection in a span of that font size in pixels and keeps it selected.
function setSelectionFontSize(pixels) {
    var span = document.createElement("span");
    span.style.fontSize = pixels + "px";
    var selection = document.getSelection();
    var range = selection.getRangeAt(0).cloneRange();
    range.surroundContents(span);
    selection.removeAllRanges();
    selection.addRange(range);
}

// After unlinking, the engine may leave a styled span around the former link text. Only such a
// wrapper, a span holding nothing but that text, is replaced by its text; a paragraph, the body
// or any other element around the selection is never touched.
function unwrapUnlinkedText(text) {
    var sel = window.getSelection();
    if (sel.rangeCount === 0)
        return;
    var node = sel.getRangeAt(0).startContainer;
    var wrapper = node.nodeType === 3 ? node.parentNode : node;
    if (!wrapper || wrapper.nodeName !== "SPAN" || wrapper.children.length > 0
        || wrapper.textContent !== text)
        return;
    wrapper.parentNode.replaceChild(document.createTextNode(text), wrapper);
}

// The node name and id of the element of the last right-button press; empty without one.
function rightButtonClickedElementInfo() {
    var e = getRightButtonClickedElement();
    return e ? {nodeName: e.nodeName, id: e.id} : {};
}

// With a bare caret between two letters of a word, selects the word and returns how many of
// its characters lie before the caret; anywhere else returns -1 and leaves the caret alone, so
// that a formatting command there sets the style of what is typed next.
function selectWordAroundCaret() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0 || !selection.isCollapsed)
        return -1;
    var node = selection.anchorNode;
    var offset = selection.anchorOffset;
    if (!node || node.nodeType !== 3 || offset === 0 || offset >= node.data.length)
        return -1;
    var separator = /[\s\u00a0.,;:!?"'\u201c\u201d\u2018\u2019()\[\]{}<>\/\\\-\u2013\u2014\u2026]/;
    if (separator.test(node.data.charAt(offset - 1)) || separator.test(node.data.charAt(offset)))
        return -1;
    selection.modify("move", "backward", "word");
    var before = document.createRange();
    before.setStart(selection.anchorNode, selection.anchorOffset);
    before.setEnd(node, offset);
    var count = before.toString().length;
    selection.modify("extend", "forward", "word");
    if (/\s$/.test(selection.toString()))
        selection.modify("extend", "backward", "character");
    return count;
}

// Puts a bare caret that many characters into the selection.
function placeCaretInSelection(count) {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return;
    selection.collapseToStart();
    for (var i = 0; i < count; ++i)
        selection.modify("move", "forward", "character");
}

$(document).ready(function () {
    new MutationObserver(function (mutations) {
        var renamed = false;
        mutations.forEach(function (mutation) {
            for (var i = 0; i < mutation.addedNodes.length; ++i)
                renamed = renumberCopiedImages(mutation.addedNodes[i]) || renamed;
        });
        if (renamed)
            page.updatePageContent();
    }).observe(document.body, { childList: true, subtree: true });
    document.body.addEventListener("input", function () {
        resizeUndo = [];
    });
    $("body").on("dragstart", function () {
        tryRemoveResizable();
    });
    $("body").on("mousedown", function (event) {
        if (event.button === 0)
            setLeftButtonClickedElement(event.target);
        else if (event.button === 2)
            rightButtonClickedElement = event.target;
    });
});

// Bound at once rather than when the document is ready: a selection can change before that.
document.addEventListener("selectionchange", function () {
    tryRemoveResizable();
});

// The find bar counts matches by letting the engine's find select each in turn; the user's
// selection is kept here meanwhile and put back afterwards.
var findSavedSelection = null;

function findSaveSelection() {
    var selection = window.getSelection();
    findSavedSelection = selection.rangeCount > 0 ? selection.getRangeAt(0).cloneRange() : null;
    selection.removeAllRanges();
}

// True when the find's selection starts where the kept selection started.
function findAtSavedSelection() {
    var selection = window.getSelection();
    if (findSavedSelection === null || selection.rangeCount === 0)
        return false;
    return selection.getRangeAt(0).compareBoundaryPoints(Range.START_TO_START,
        findSavedSelection) === 0;
}

function findRestoreSelection() {
    var selection = window.getSelection();
    selection.removeAllRanges();
    if (findSavedSelection !== null)
        selection.addRange(findSavedSelection);
    findSavedSelection = null;
}

// Sets the selection again where it is, which ends the engine's open typing step.
function findSettleSelection() {
    var selection = window.getSelection();
    if (selection.rangeCount === 0)
        return;
    var range = selection.getRangeAt(0).cloneRange();
    selection.removeAllRanges();
    selection.addRange(range);
}
