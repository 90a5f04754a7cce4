// Placeholder uninstall page: asks once, shows the progress, ends the UI.
var succeeded = false;

function show(id) {
    $('ask').className = id === 'ask' ? '' : 'hidden';
    $('work').className = id === 'work' ? '' : 'hidden';
}

on('waitforuninstall', function () {
    show('ask');
    showPage(480, 352);
});
on('waitforstopservice', function () { signal({ type: 'stopservice', stop: 'stop' }); });
on('processlist', function (m) {
    show('work');
    var p = Math.max(0, Math.min(100, m.progress | 0));
    $('bar').style.width = Math.round(p * 4.4) + 'px';
});
on('changestatus', function (m) {
    if (m['new'] === 'uninstall_success' || m['new'] === 'uninstall_error') {
        succeeded = m['new'] === 'uninstall_success';
        show('work');
        $('state').textContent = succeeded ? 'Larkspur has been removed.' : 'The removal did not complete.';
        $('close').className = '';
        showPage(480, 352);
    }
});

$('uninstall').onclick = function () {
    show('work');
    signal({ type: 'uninstallparameter', action: 'ok', deleteall: true, deleteservice: true, reason: [' '] });
};
$('keep').onclick = function () {
    signal({ type: 'uninstallparameter', action: 'cancel' });
    finish(false);
};
$('close').onclick = function () { finish(succeeded); };
