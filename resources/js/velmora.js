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

$(document).ready(function () {
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
