// Demo page: carousel on a 30 ms timer, progress, text input, script calls to the host.
var $ = function (id) { return document.getElementById(id); };
var state = { slide: 0, tick: 0, progress: 0, frames: 0 };

function log(text) {
    var li = document.createElement('li');
    li.textContent = text;
    var list = $('log');
    list.insertBefore(li, list.firstChild);
    while (list.children.length > 4) list.removeChild(list.lastChild);
}

function ease(t) { return 1 - Math.pow(1 - t, 4); }

function showSlide(n) {
    for (var i = 1; i <= 3; ++i) $('slide' + i).style.visibility = i === n + 1 ? 'visible' : 'hidden';
}

function animate() {
    var slide = $('slide' + (state.slide + 1));
    var pic = slide.querySelector('.pic'), fade = slide.querySelector('.fade');
    state.frames++;
    if (state.tick < 25) {
        var q = ease(state.tick * 0.04);
        pic.style.left = Math.round(30 + 300 * (1 - q)) + 'px';
        fade.style.opacity = '0';
    } else if (state.tick < 75) {
        pic.style.left = '30px';
        fade.style.opacity = String((state.tick - 25) / 50);
    } else if (state.tick < 85) {
        slide.style.opacity = String(1 - (state.tick - 75) / 10);
    } else {
        slide.style.opacity = '';
        state.slide = (state.slide + 1) % 3;
        state.tick = -1;
        showSlide(state.slide);
    }
    state.tick++;
}

function setProgress(p) {
    state.progress = p;
    $('bar').style.width = Math.round(p * 3) + 'px';
    $('percent').textContent = p + '%';
}

$('path').addEventListener('input', function () {
    $('install').disabled = false;
    $('error').textContent = '';
});
$('path').addEventListener('keydown', function (e) { if (e.keyCode === 13 || e.keyCode === 9) e.preventDefault(); });
$('agree').addEventListener('change', function () {
    $('install').disabled = !this.checked;
    log('agree: ' + this.checked);
});
$('install').onclick = function () {
    var answer = view.invoke('DecisionPath', JSON.stringify([$('path').value]));
    var result = {};
    try { result = JSON.parse(answer); } catch (e) { result = { statue: false, error_code: 'invalid' }; }
    if (result.statue) {
        log('install to ' + result.path);
        var timer = setInterval(function () {
            setProgress(Math.min(100, state.progress + 5));
            if (state.progress >= 100) { clearInterval(timer); log('done'); }
        }, 50);
    } else {
        $('install').disabled = true;
        $('error').textContent = 'Invalid folder: ' + result.error_code;
    }
};
$('browse').onclick = function () { log('browse: ' + view.invoke('SelectFolderPostion', '[]')); };
$('licence').onclick = function (e) { e.preventDefault(); log('licence ' + view.invoke('GetLicense', '[]').length + ' chars'); };
$('btn-min').onclick = function () { view.minimize(); };
$('btn-close').onclick = function () { view.close(); };
view.onclose = function () { return window.allowClose === true; };

var started = new Date().getTime();
setInterval(function () {
    var s = Math.floor((new Date().getTime() - started) / 1000);
    $('clock').textContent = (s < 600 ? '0' : '') + Math.floor(s / 60) + ':' + (s % 60 < 10 ? '0' : '') + (s % 60);
}, 1000);

showSlide(0);
setInterval(animate, 30);
log('loaded');
