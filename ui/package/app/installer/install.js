// Placeholder install page: asks for the folder, shows the progress, ends the UI.
var succeeded = false;

function show(id) {
    $('ask').className = id === 'ask' ? '' : 'hidden';
    $('work').className = id === 'work' ? '' : 'hidden';
}

on('setinstallpath', function (m) { $('path').value = m.path; });
on('waitforpath', function (m) {
    if (m.action === 'skip') return;
    show('ask');
    $('install').disabled = false;
    if (m.action === 'invalid') $('error').textContent = 'The folder cannot be used: ' + m.error;
    showPage(480, 352);
});
on('waitforstopservice', function () { signal({ type: 'stopservice', stop: 'stop' }); });
on('waitforrunnow', function () { signal({ type: 'runnow', runnow: false }); });
on('processlist', function (m) {
    show('work');
    var p = Math.max(0, Math.min(100, m.progress | 0));
    $('bar').style.width = Math.round(p * 4.4) + 'px';
    $('percent').textContent = p + '%';
});
on('changestatus', function (m) {
    if (m['new'] === 'install_success' || m['new'] === 'install_error') {
        succeeded = m['new'] === 'install_success';
        show('work');
        $('state').textContent = succeeded ? 'Larkspur is installed.' : 'The installation did not complete.';
        $('close').className = '';
        showPage(480, 352);
    }
});

$('install').onclick = function () {
    var answer = {};
    try { answer = JSON.parse(native('DecisionPath', [$('path').value])); } catch (e) { answer = {}; }
    if (!answer.statue) {
        $('error').textContent = 'The folder cannot be used: ' + (answer.error_code || 'invalid');
        return;
    }
    $('install').disabled = true;
    $('error').textContent = '';
    show('work');
    signal({ type: 'installparameter', action: 'install', path: answer.path, desktop: true, quick: true });
};
$('browse').onclick = function () {
    var chosen = native('SelectFolderPostion', []);
    if (!chosen) return;
    try {
        var r = JSON.parse(chosen);
        if (r && r.pos) $('path').value = r.pos;
    } catch (e) {}
};
$('cancel').onclick = function () {
    if (!confirmModal('install', 'Cancel the installation?')) return;
    signal({ type: 'cancel' });
    finish(false);
};
$('close').onclick = function () { finish(succeeded); };
