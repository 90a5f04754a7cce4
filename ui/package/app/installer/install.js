// The install page: folder choice, licence, quit dialog and progress.
var install = {
    default_path: '',
    custom: false,
    finish_timer: 0,
    finished: false
};

function path_error(code) {
    $('install').disabled = true;
    var key = code === 'toolong' ? 'Error_toolong' : code === 'nospace' ? 'Error_nospace' : 'Error_path';
    translation($('error'), key);
}

function clear_error() {
    translation($('error'), '');
    $('error').textContent = '';
}

// Unchecking the agreement disables the install button, the path row and the
// custom link; checking enables them again. While a path error shows, the
// install button stays disabled until the folder changes, but the path row and
// the link come back so that the user can change it.
function agreement_changed() {
    var on = $('agree').checked;
    $('install').disabled = !on || $('error').textContent !== '';
    $('path').disabled = !on;
    $('browse').disabled = !on;
    $('custom').classList.toggle('disabled', !on);
}

function set_mode(custom) {
    install.custom = custom;
    $('custom').translation(custom ? 'Install_quick' : 'Install_custom');
    show($('path_row'), custom);
    $('install').translation(custom ? 'Install_start' : 'Install_quick2');
}

function start_install() {
    if ($('install').disabled) return;
    var folder = install.custom ? $('path').value : install.default_path;
    var r = native_buss.invoke_json('DecisionPath', [folder]);
    if (r.statue !== true) {
        path_error(r.error_code);
        return;
    }
    native_buss.send({ path: r.path, type: 'installparameter', action: 'ok', desktop: true, quick: true,
                       anoshortcut: !$('android_check').checked, inoshortcut: !$('ios_check').checked });
    native_buss.invoke('PostSetupLog', install.custom ? ['customstart', 'progress'] : ['quickstart', 'progress']);
}

function select_folder() {
    if ($('browse').disabled) return;
    var text = native_buss.invoke('SelectFolderPostion', []);
    if (!text) return;
    var r;
    try { r = JSON.parse(text); } catch (e) { return; }
    if (r === null || typeof r !== 'object') return;
    $('path').value = typeof r.pos === 'string' ? r.pos : '';
    if (r.statue === true) {
        $('install').disabled = false;
        clear_error();
        $('install').focus();
    } else {
        path_error(r.error_code);
    }
}

function show_license(on) {
    if (on) $('license_text').innerHTML = native_buss.invoke('GetLicense', []);
    show($('hero'), !on);
    show($('action_area'), !on);
    show($('license_pane'), on);
}

// The dialog page, at most one at a time.
function open_dialog(description, extra) {
    var mode = { single: true, appwindow: true, shadow: true, transparent: false, params: description };
    for (var k in extra) if (Object.prototype.hasOwnProperty.call(extra, k)) mode[k] = extra[k];
    return view.open_frame('Quayside Setup', 'file://app/installer/notify.htm', mode);
}

function quit_clicked(what) {
    if (what !== 'click left') return;
    view.canClose = true;
    view.bClose = true;
    if (view.clickclose) {
        native_buss.send({ type: 'installparameter', action: 'cancel' });
        native_buss.invoke('PostSetupLog', ['pathquit', 'quit']);
    } else {
        view.close();
        native_buss.invoke('DestroyWindow', []);
    }
}

function ask_quit() {
    var r = view.clientRect();
    open_dialog({ id: 'quitinstall', content: 'Confirm_quit', button1: 'Confirm', button2: 'Cancel',
                  postmsg: quit_clicked, pThis: window,
                  rect: { left: r[0], top: r[1], right: r[2], bottom: r[3] } },
                { parent: 'install' });
}

function show_progress_pane() {
    show($('prepare'), false);
    show($('progress_pane'), true);
    carousel.start();
}

function show_percent(n) {
    var shown = Math.max(0, Math.min(100, n));
    $('percent').textContent = n + '%';
    $('bar').style.width = shown + '%';
}

function finish_tick() {
    ++install.counter;
    show_percent(install.counter);
    if (install.counter > 98) {
        clearInterval(install.finish_timer);
        install.finish_timer = 0;
        show($('installing'), false);
        show($('installed'), true);
        native_buss.invoke('OnInstallFinish', ['run']);
    }
}

function on_progress(m) {
    var p = typeof m.progress === 'number' ? Math.floor(m.progress) : parseInt(m.progress, 10);
    if (isNaN(p)) return;
    view.progress_num = p;
    if (p !== 99) {
        if (!view.progress) show_percent(Math.floor(p * 10 / 11));
        return;
    }
    // The finish count runs once, however often 99 arrives.
    if (view.progress) return;
    view.progress = true;
    install.counter = 90;
    install.finish_timer = setInterval(finish_tick, 50);
}

function end_page(success) {
    view.bClose = true;
    view.canClose = true;
    view.close();
    if (success) native_buss.invoke('OnDetail', ['true']);
    native_buss.invoke('DestroyWindow', []);
}

var install_handlers = {
    setlanguage: function (m) {
        language_manager.setLanguage(m.lan);
        carousel.set_language(language_manager.code);
    },
    setinstallpath: function (m) {
        install.default_path = typeof m.path === 'string' ? m.path : '';
        $('path').value = install.default_path;
    },
    waitforpath: function (m) {
        if (m.action === 'ask') {
            native_buss.invoke('showwin', ['show']);
        } else if (m.action === 'skip') {
            native_buss.invoke('showwin', ['show']);
            view.bClose = true;
            view.canClose = false;
            show_progress_pane();
        }
    },
    waitforstopservice: function () {
        native_buss.invoke('showwin', ['hide']);
        open_dialog({ id: 'stopapp', content: 'Confirm_running', button1: 'Continue_install', button2: 'Cancel',
                      pThis: window }, {});
    },
    waitforrunnow: function () { native_buss.send({ type: 'runnow', runnow: true }); },
    processlist: on_progress,
    changestatus: function (m) {
        var status = m['new'];
        if (status === 'install_success') {
            end_page(true);
        } else if (status === 'install_error') {
            end_page(false);
        } else if (status === 'install_uninstall') {
            native_buss.invoke('showwin', ['show']);
            view.bClose = true;
            view.canClose = false;
            show_progress_pane();
        }
    }
};

for (var name in install_handlers) {
    (function (fn) {
        message_center.add_handler('install', name, function (n, body) { fn(parse_body(body)); });
    })(install_handlers[name]);
}

view.onclose = function () {
    if (!view.bClose) setTimeout(ask_quit, 1);
    return view.canClose ? true : false;
};

$('install').onclick = start_install;
$('browse').onclick = select_folder;
$('custom').onclick = function () {
    if ($('custom').classList.contains('disabled')) return;
    clear_error();
    set_mode(!install.custom);
};
$('agree').onchange = agreement_changed;
$('protocol').onclick = function () { show_license(true); };
$('license_ok').onclick = function () { show_license(false); };
$('prepare_min').onclick = function () { view.minimize(); };
$('progress_min').onclick = function () { view.minimize(); };
$('prepare_close').onclick = function () {
    view.clickclose = true;
    ask_quit();
};
var path_field = $('path');
swallow_enter_tab(path_field);
path_field.addEventListener('input', function () {
    clear_error();
    $('install').disabled = !$('agree').checked;
});

movable.enable();
centre_window(599, 399);
view.canClose = false;
view.bClose = false;
view.progress = false;
$('install').focus();
// Last: the host waits for this before the run starts (a page that stops on
// an error earlier is reported to the user instead of hanging unseen).
native_buss.invoke('PageReady', []);
