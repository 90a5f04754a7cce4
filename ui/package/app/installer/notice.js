// The two notices: another setup is running, or the setup list is missing.
function start_notice(owner) {
    message_center.add_handler(owner, 'setlanguage', function (n, body) {
        language_manager.setLanguage(parse_body(body).lan);
    });
    function quit() {
        view.bClose = view.canClose = true;
        view.close();
        native_buss.invoke('ExitProcess', []);
    }
    $('close').onclick = quit;
    $('notice_close').onclick = quit;
    movable.enable();
    centre_window(419, 203);
    $('close').focus();
    native_buss.invoke('PageReady', []);
}
