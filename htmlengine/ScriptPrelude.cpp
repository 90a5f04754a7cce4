// The DOM layer of every page, written in script over the engine's natives.
// `P` is the node prototype, `N` the table of page natives.
extern const char kScriptPrelude[];
const char kScriptPrelude[] = R"JS(
(function (global, P, N) {
'use strict';
function acc(obj, name, get, set) {
    Object.defineProperty(obj, name, { get: get, set: set, configurable: true, enumerable: false });
}
function hidden(obj, name, value) {
    Object.defineProperty(obj, name, { value: value, writable: true, configurable: true, enumerable: false });
}
function report(e) { N.report(e); }
global.__report = report;

// ---- style objects ----------------------------------------------------------
var cssProps = ['display','visibility','position','left','top','right','bottom','width','height',
    'min-width','min-height','max-width','max-height','margin','margin-top','margin-right','margin-bottom',
    'margin-left','padding','padding-top','padding-right','padding-bottom','padding-left','border',
    'border-top','border-right','border-bottom','border-left','border-width','border-color','border-style',
    'border-radius','background','background-color','background-image','background-position',
    'background-repeat','color','font','font-family','font-size','font-weight','font-style','text-align',
    'text-decoration','line-height','opacity','overflow','overflow-x','overflow-y','z-index','cursor',
    'white-space','behavior'];
function camel(n) { return n.replace(/-([a-z])/g, function (m, c) { return c.toUpperCase(); }); }
function Style(el) { hidden(this, '__el', el); }
cssProps.forEach(function (name) {
    acc(Style.prototype, camel(name), function () { return this.__el.__getStyle(name); },
        function (v) { this.__el.__setStyle(name, v === null || v === undefined ? '' : String(v)); });
});
Style.prototype.setProperty = function (n, v) { this.__el.__setStyle(String(n).toLowerCase(), v === null || v === undefined ? '' : String(v)); };
Style.prototype.getPropertyValue = function (n) { return this.__el.__getStyle(String(n).toLowerCase()); };
Style.prototype.removeProperty = function (n) { this.__el.__setStyle(String(n).toLowerCase(), ''); };
acc(Style.prototype, 'cssText', function () { return this.__el.__getStyle('*'); },
    function (v) { this.__el.__setStyle('*', String(v)); });

// ---- class lists --------------------------------------------------------------
function ClassList(el) { hidden(this, '__el', el); }
ClassList.prototype.__list = function () {
    var c = this.__el.__attr('class');
    return c ? c.split(/\s+/).filter(function (x) { return x.length > 0; }) : [];
};
ClassList.prototype.__store = function (list) { this.__el.__setAttr('class', list.join(' ')); };
ClassList.prototype.contains = function (c) { return this.__list().indexOf(String(c)) >= 0; };
ClassList.prototype.add = function () {
    var l = this.__list();
    for (var i = 0; i < arguments.length; ++i) if (l.indexOf(String(arguments[i])) < 0) l.push(String(arguments[i]));
    this.__store(l);
};
ClassList.prototype.remove = function () {
    var l = this.__list(), rm = Array.prototype.map.call(arguments, String);
    this.__store(l.filter(function (x) { return rm.indexOf(x) < 0; }));
};
ClassList.prototype.toggle = function (c, force) {
    var has = this.contains(c), want = force === undefined ? !has : !!force;
    if (want && !has) this.add(c);
    if (!want && has) this.remove(c);
    return want;
};
ClassList.prototype.item = function (i) { var l = this.__list(); return i < l.length ? l[i] : null; };
acc(ClassList.prototype, 'length', function () { return this.__list().length; });
ClassList.prototype.toString = function () { return this.__list().join(' '); };

// ---- nodes --------------------------------------------------------------------
acc(P, 'nodeType', function () { return this.__nodeType(); });
acc(P, 'tagName', function () { return this.__nodeType() === 1 ? this.__tag().toUpperCase() : undefined; });
acc(P, 'nodeName', function () { var t = this.__nodeType(); return t === 1 ? this.__tag().toUpperCase() : t === 3 ? '#text' : '#comment'; });
acc(P, 'nodeValue', function () { return this.__nodeType() === 1 ? null : this.__text(); },
    function (v) { if (this.__nodeType() !== 1) this.__setText(String(v)); });
acc(P, 'data', function () { return this.__text(); }, function (v) { this.__setText(String(v)); });
acc(P, 'id', function () { return this.__attr('id') || ''; }, function (v) { this.__setAttr('id', String(v)); });
acc(P, 'className', function () { return this.__attr('class') || ''; }, function (v) { this.__setAttr('class', String(v)); });
acc(P, 'classList', function () { if (!this.__classList) hidden(this, '__classList', new ClassList(this)); return this.__classList; });
acc(P, 'style', function () { if (!this.__styleObj) hidden(this, '__styleObj', new Style(this)); return this.__styleObj; });
acc(P, 'parentNode', function () { return this.__parent(); });
acc(P, 'parentElement', function () { return this.__parent(); });
acc(P, 'childNodes', function () { return this.__childNodes(); });
acc(P, 'children', function () { return this.__children(); });
acc(P, 'firstChild', function () { var c = this.__childNodes(); return c.length ? c[0] : null; });
acc(P, 'lastChild', function () { var c = this.__childNodes(); return c.length ? c[c.length - 1] : null; });
acc(P, 'firstElementChild', function () { var c = this.__children(); return c.length ? c[0] : null; });
acc(P, 'lastElementChild', function () { var c = this.__children(); return c.length ? c[c.length - 1] : null; });
acc(P, 'childElementCount', function () { return this.__children().length; });
function sibling(node, step, elementsOnly) {
    var p = node.__parent();
    if (!p) return null;
    var list = elementsOnly ? p.__children() : p.__childNodes();
    var i = list.indexOf(node);
    return i >= 0 && list[i + step] !== undefined ? list[i + step] : null;
}
acc(P, 'nextSibling', function () { return sibling(this, 1, false); });
acc(P, 'previousSibling', function () { return sibling(this, -1, false); });
acc(P, 'nextElementSibling', function () { return sibling(this, 1, true); });
acc(P, 'previousElementSibling', function () { return sibling(this, -1, true); });
acc(P, 'textContent', function () { return this.__text(); }, function (v) { this.__setText(v === null || v === undefined ? '' : String(v)); });
acc(P, 'innerText', function () { return this.__text(); }, function (v) { this.__setText(v === null || v === undefined ? '' : String(v)); });
acc(P, 'innerHTML', function () { return this.__html(); }, function (v) { this.__setHtml(v === null || v === undefined ? '' : String(v)); });
acc(P, 'outerHTML', function () { return this.__outerHtml(); });
acc(P, 'value', function () { return this.__value(); }, function (v) { this.__setValue(v === null || v === undefined ? '' : String(v)); });
acc(P, 'checked', function () { return this.__checked(); }, function (v) { this.__setChecked(!!v); });
acc(P, 'disabled', function () { return this.__hasAttr('disabled'); },
    function (v) { if (v) this.__setAttr('disabled', ''); else this.__removeAttr('disabled'); });
acc(P, 'hidden', function () { return this.__hasAttr('hidden'); },
    function (v) { if (v) this.__setAttr('hidden', ''); else this.__removeAttr('hidden'); });
['src', 'href', 'type', 'name', 'title', 'placeholder'].forEach(function (a) {
    acc(P, a, function () { return this.__attr(a) || ''; }, function (v) { this.__setAttr(a, String(v)); });
});
acc(P, 'offsetLeft', function () { return Math.round(this.__rect()[0]); });
acc(P, 'offsetTop', function () { return Math.round(this.__rect()[1]); });
acc(P, 'offsetWidth', function () { return Math.round(this.__rect()[2]); });
acc(P, 'offsetHeight', function () { return Math.round(this.__rect()[3]); });
acc(P, 'clientWidth', function () { return Math.round(this.__rect()[2]); });
acc(P, 'clientHeight', function () { return Math.round(this.__rect()[3]); });
acc(P, 'scrollTop', function () { return this.__scroll()[0]; }, function (v) { this.__scroll(+v || 0); });
acc(P, 'scrollHeight', function () { return Math.round(this.__scroll()[1]); });
P.getBoundingClientRect = function () {
    var r = this.__rect();
    return { left: r[0], top: r[1], width: r[2], height: r[3], right: r[0] + r[2], bottom: r[1] + r[3], x: r[0], y: r[1] };
};
P.getAttribute = function (n) { var v = this.__attr(String(n).toLowerCase()); return v === undefined ? null : v; };
P.setAttribute = function (n, v) { this.__setAttr(String(n).toLowerCase(), String(v)); };
P.removeAttribute = function (n) { this.__removeAttr(String(n).toLowerCase()); };
P.hasAttribute = function (n) { return this.__hasAttr(String(n).toLowerCase()); };
P.appendChild = function (c) { this.__insertBefore(c, null); return c; };
P.insertBefore = function (c, ref) { this.__insertBefore(c, ref || null); return c; };
P.removeChild = function (c) { this.__remove(c); return c; };
P.replaceChild = function (n, old) { this.__insertBefore(n, old); this.__remove(old); return old; };
P.remove = function () { var p = this.__parent(); if (p) p.__remove(this); };
P.contains = function (n) { for (var x = n; x; x = x.__parent()) if (x === this) return true; return false; };
P.querySelector = function (s) { return this.__query(String(s), false); };
P.querySelectorAll = function (s) { return this.__query(String(s), true); };
P.getElementsByTagName = function (t) { return this.__query(String(t), true); };
P.getElementsByClassName = function (c) {
    return this.__query(String(c).split(/\s+/).filter(function (x) { return x; }).map(function (x) { return '.' + x; }).join(''), true);
};
P.matches = function (s) { return this.__matches(String(s)); };
P.closest = function (s) { for (var x = this; x && x.__nodeType() === 1; x = x.__parent()) if (x.__matches(String(s))) return x; return null; };
P.focus = function () { this.__focus(); };
P.blur = function () { this.__blur(); };
P.click = function () { this.__click(); };
P.select = function () { this.__selectAll(); };
P.cloneNode = function (deep) {
    var c = document.createElement(this.__tag());
    var names = this.__attrNames();
    for (var i = 0; i < names.length; ++i) c.__setAttr(names[i], this.__attr(names[i]));
    if (deep) c.innerHTML = this.innerHTML;
    return c;
};

// ---- events -------------------------------------------------------------------
function addListener(type, fn) {
    if (typeof fn !== 'function') return;
    if (!this.__listeners) hidden(this, '__listeners', {});
    var l = this.__listeners[type] || (this.__listeners[type] = []);
    if (l.indexOf(fn) < 0) l.push(fn);
}
function removeListener(type, fn) {
    var l = this.__listeners && this.__listeners[type];
    if (!l) return;
    var i = l.indexOf(fn);
    if (i >= 0) l.splice(i, 1);
}
P.addEventListener = addListener;
P.removeEventListener = removeListener;
function fire(node, ev) {
    var h = node['on' + ev.type];
    if (h === undefined && node.__attr && node.__nodeType() === 1) {
        var code = node.__attr('on' + ev.type);
        if (code) {
            try { h = new Function('event', code); } catch (e) { report(e); h = null; }
            node['on' + ev.type] = h;
        }
    }
    if (typeof h === 'function') {
        try { if (h.call(node, ev) === false) ev.preventDefault(); } catch (e) { report(e); }
    }
    var l = node.__listeners && node.__listeners[ev.type];
    if (l) {
        l = l.slice();
        for (var i = 0; i < l.length && !ev.__stopNow; ++i) {
            try { l[i].call(node, ev); } catch (e) { report(e); }
        }
    }
}
function Event(type, init) {
    this.type = String(type);
    this.bubbles = !!(init && init.bubbles);
    this.defaultPrevented = false;
}
Event.prototype.preventDefault = function () { this.defaultPrevented = true; this.returnValue = false; };
Event.prototype.stopPropagation = function () { this.__stop = true; this.cancelBubble = true; };
Event.prototype.stopImmediatePropagation = function () { this.__stop = true; this.__stopNow = true; };
global.Event = Event;
global.CustomEvent = function (type, init) { Event.call(this, type, init); this.detail = init && init.detail; };
global.CustomEvent.prototype = Object.create(Event.prototype);
function dispatch(target, ev) {
    if (!(ev instanceof Event)) {
        var e = new Event(ev.type, ev);
        for (var k in ev) if (k !== 'type') e[k] = ev[k];
        ev = e;
    }
    ev.target = target;
    ev.srcElement = target;
    var node = target;
    while (node) {
        ev.currentTarget = node;
        fire(node, ev);
        if (ev.__stop || !ev.bubbles) return ev.defaultPrevented;
        node = node.__parent ? node.__parent() : null;
    }
    ev.currentTarget = document;
    fire(document, ev);
    if (!ev.__stop) { ev.currentTarget = global; fire(global, ev); }
    return ev.defaultPrevented;
}
global.__dispatch = dispatch;
P.dispatchEvent = function (ev) { return !dispatch(this, ev); };

// ---- document -----------------------------------------------------------------
var document = {};
acc(document, 'documentElement', function () { return N.root(); });
acc(document, 'body', function () { return N.body(); });
acc(document, 'head', function () { return N.head(); });
acc(document, 'activeElement', function () { return N.activeElement() || N.body(); });
acc(document, 'title', function () { var t = N.root().querySelector('title'); return t ? t.textContent : ''; });
acc(document, 'URL', function () { return N.url(); });
document.location = { href: N.url() };
document.getElementById = function (id) { return N.byId(String(id)); };
document.querySelector = function (s) { return N.root().__query(String(s), false); };
document.querySelectorAll = function (s) { return N.root().__query(String(s), true); };
document.getElementsByTagName = function (t) { return N.root().__query(String(t), true); };
document.getElementsByClassName = function (c) { return N.root().getElementsByClassName(c); };
document.createElement = function (t) { return N.create(String(t).toLowerCase()); };
document.createTextNode = function (t) { return N.createText(String(t)); };
document.createEvent = function () { return new Event(''); };
document.addEventListener = addListener;
document.removeEventListener = removeListener;
global.document = document;
global.window = global;
global.self = global;
global.addEventListener = addListener;
global.removeEventListener = removeListener;
global.setTimeout = function (fn, ms) { return N.timer(fn, +ms || 0, false); };
global.setInterval = function (fn, ms) { return N.timer(fn, +ms || 0, true); };
global.clearTimeout = global.clearInterval = function (id) { if (id) N.clearTimer(id); };
global.console = { log: function () { N.log(Array.prototype.join.call(arguments, ' ')); } };
global.console.error = global.console.warn = global.console.info = global.console.log;
global.alert = function (m) { N.log('alert: ' + m); };

// ---- view -----------------------------------------------------------------------
// Every function on `view` goes to the host first, then to the engine.
var view = {};
function viewFn(name) { return function () { return N.viewCall(name, Array.prototype.slice.call(arguments)); }; }
['init_trigger', 'invoke', 'invoke_cb', 'invoke_js', 'log', 'open_frame', 'get_screen', 'get_screenex',
 'min_frame', 'close_frame', 'get_params', 'setRetCode', 'force_img_refresh', 'switch_glass', 'hide_shadow',
 'dodrag', 'updatedropdesp', 'move', 'windowRect', 'clientRect', 'screenRect', 'minimize', 'maximize',
 'restore', 'close', 'show', 'hide', 'activate'].forEach(function (n) { view[n] = viewFn(n); });
view.call = function (name) { return N.viewCall(String(name), Array.prototype.slice.call(arguments, 1)); };
view.addEventListener = addListener;
view.removeEventListener = removeListener;
global.view = view;
global.__closeRequest = function () {
    var ev = new Event('closerequest');
    ev.target = ev.currentTarget = view;
    fire(view, ev);
    if (view.onclose !== undefined) {
        // the "closerequest" path already ran view.onclosereqest; onclose may refuse too
        try { if (typeof view.onclose === 'function' && view.onclose(ev) === false) ev.preventDefault(); } catch (e) { report(e); }
    }
    return !ev.defaultPrevented;
};
global.__fireLoaded = function () {
    dispatch(document, { type: 'DOMContentLoaded', bubbles: false });
    var ev = new Event('load');
    ev.target = ev.currentTarget = global;
    fire(global, ev);
};
})
)JS";
