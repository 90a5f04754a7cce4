// Shared by every setup page: native calls, the engine's messages, languages,
// translated elements, window dragging, centring and the page flags.
var language_tables = language_tables || {};

var native_buss = {
    // Passes `value` as JSON text to the host function `name`; returns its text.
    invoke: function (name, value) { return view.invoke(name, JSON.stringify(value)); },
    init_trigger: function (list, fn) { return view.init_trigger(list, fn); },
    // The host's answer as an object; {} when it is not JSON.
    invoke_json: function (name, value) {
        var text = native_buss.invoke(name, value);
        try {
            var parsed = JSON.parse(text);
            return parsed !== null && typeof parsed === 'object' ? parsed : {};
        } catch (e) {
            return {};
        }
    },
    send: function (command) { return native_buss.invoke('SendSignal', command); }
};

var message_center = {
    handlers: {},
    add_handler: function (owner, name, handler) {
        var byOwner = message_center.handlers[name] || (message_center.handlers[name] = {});
        byOwner[owner] = handler;
    },
    trigger: function (name, body) {
        var byOwner = message_center.handlers[name];
        if (!byOwner) return;
        for (var owner in byOwner)
            if (Object.prototype.hasOwnProperty.call(byOwner, owner)) byOwner[owner](name, body);
    }
};

var engine_messages = ['changestatus', 'waitforpath', 'waitforrunnow', 'waitforstopservice', 'waitforuninstall',
                       'processlist', 'setlanguage', 'setinstallpath'];

// The message body as an object; a body that is not a JSON object gives {}.
function parse_body(body) {
    if (body !== null && typeof body === 'object') return body;
    try {
        var parsed = JSON.parse(body);
        return parsed !== null && typeof parsed === 'object' ? parsed : {};
    } catch (e) {
        return {};
    }
}

var language_codes = ['en_US', 'th_TH', 'vi_VN', 'id_ID', 'zh_TW'];

var language_manager = {
    code: 'zh_CN',
    table: language_tables.zh_CN || {},
    font: 'Arial',
    setLanguage: function (code) {
        code = String(code);
        var known = language_codes.indexOf(code) >= 0 && language_tables[code];
        language_manager.code = known ? code : 'zh_CN';
        language_manager.table = language_tables[language_manager.code] || {};
        language_manager.font = language_manager.table.font || 'Arial';
        message_center.trigger('LanguageSetMsg', '{}');
    },
    // The current table's text for `key`, or `fallback` when the table lacks it.
    text: function (key, fallback) {
        var t = language_manager.table;
        return Object.prototype.hasOwnProperty.call(t, key) && typeof t[key] === 'string' ? t[key] : fallback;
    }
};

// ---- translated elements ---------------------------------------------------------
function refresh_translation(el) {
    var text = language_manager.text(el.__transKey, null);
    if (text !== null) el.textContent = text;
}

function attach_translation(el) {
    if (el.__transKey !== undefined) return;
    var type = el.getAttribute('type');
    el.__transKey = type !== null && type !== '' ? type : el.textContent;
    el.translation = function (key) {
        this.__transKey = String(key);
        refresh_translation(this);
    };
    refresh_translation(el);
}

function translate_page() {
    var list = document.getElementsByClassName('trans');
    for (var i = 0; i < list.length; ++i) {
        attach_translation(list[i]);
        refresh_translation(list[i]);
    }
    document.body.style.fontFamily = language_manager.font + ', sans-serif';
    // Labels of the text fields' context menu.
    var t = language_manager.text;
    document.body.setAttribute('menu-labels', t('Revoke', 'Undo') + '\tCtrl+Z|' + t('Cut', 'Cut') + '\tCtrl+X|' +
                               t('Copy', 'Copy') + '\tCtrl+C|' + t('Paste', 'Paste') + '\tCtrl+V|-|-');
}

function translation(el, key) {
    attach_translation(el);
    el.translation(key);
}

// ---- window dragging ----------------------------------------------------------------
// A main-button press on the page (not on a control) followed by a move drags
// the window, keeping the pressed point under the pointer; a press without a
// move is a click. Other buttons never drag.
var movable = {
    press: null,
    enable: function () {
        document.addEventListener('mousedown', movable.down);
        document.addEventListener('mousemove', movable.move);
        document.addEventListener('mouseup', movable.up);
    },
    down: function (ev) {
        if (ev.button !== 0) return;
        for (var n = ev.target; n && n.nodeType === 1; n = n.parentNode) {
            var tag = n.tagName;
            if (tag === 'INPUT' || tag === 'TEXTAREA' || tag === 'BUTTON' || tag === 'A' || tag === 'LABEL' ||
                n.classList.contains('control'))
                return;
        }
        var r = view.windowRect();
        movable.press = { x: ev.screenX, y: ev.screenY, left: r[0], top: r[1] };
    },
    move: function (ev) {
        var p = movable.press;
        if (!p || (ev.screenX === p.x && ev.screenY === p.y)) return;
        view.move(p.left + ev.screenX - p.x, p.top + ev.screenY - p.y);
    },
    up: function () { movable.press = null; }
};

// ---- placement ------------------------------------------------------------------------
// Centres a w x h window on the monitor; the monitor's own origin is not added.
function centre_window(w, h) {
    var s = view.get_screen();
    view.move(Math.floor((s[2] - s[0] - w) / 2), Math.floor((s[3] - s[1] - h) / 2), w, h);
}

// ---- page flags -------------------------------------------------------------------------
view.bClose = false;
view.canClose = false;
view.clickclose = false;
view.progress = false;
view.progress_num = 0;

message_center.add_handler('page', 'LanguageSetMsg', function () { translate_page(); });

native_buss.init_trigger(engine_messages.join(','), function (name, body) {
    message_center.trigger(name, body);
});

function $(id) { return document.getElementById(id); }

function show(el, on) { el.classList.toggle('hidden', !on); }

// Text fields swallow Enter and Tab.
function swallow_enter_tab(field) {
    field.addEventListener('keydown', function (ev) {
        if (ev.keyCode === 13 || ev.keyCode === 9) ev.preventDefault();
    });
}

translate_page();
