// The progress pane's pictures: three slides in turn on a 30 ms timer. A slide
// moves its first two pictures in with an ease-out, stays while its second
// and third pictures cross-fade, then fades out.
var carousel = {
    ENTER: 25, STAY: 50, FADE: 10, PERIOD: 30,
    slide: 0,          // 0..2
    phase: 'enter',    // 'enter', 'stay', 'fade', 'stopped'
    tick_no: 0,
    timer: 0,
    language: 'zh_CN',

    ease: function (t) { return 1 - Math.pow(1 - t, 4); },

    // Picks the language-specific first pictures.
    set_language: function (code) {
        carousel.language = language_codes.indexOf(code) >= 0 ? code : 'zh_CN';
        for (var n = 1; n <= 3; ++n)
            $('slide' + n).querySelector('.pic1').src = 'res/rotate' + n + '1_' + carousel.language + '.png';
    },

    start: function () {
        if (carousel.timer) return;
        carousel.set_language(carousel.language);
        carousel.show_slide(0);
        carousel.timer = setInterval(carousel.tick, carousel.PERIOD);
    },

    stop: function () {
        if (carousel.timer) clearInterval(carousel.timer);
        carousel.timer = 0;
        carousel.phase = 'stopped';
    },

    show_slide: function (index) {
        carousel.slide = index;
        carousel.phase = 'enter';
        carousel.tick_no = 0;
        for (var n = 0; n < 3; ++n) {
            var s = $('slide' + (n + 1));
            s.style.display = n === index ? 'block' : 'none';
            s.style.opacity = '1';
        }
        carousel.place(0);
    },

    // Positions of the entering pictures at t (0..1).
    place: function (t) {
        var s = $('slide' + (carousel.slide + 1));
        var q = carousel.ease(t);
        s.querySelector('.pic1').style.left = Math.round(300 * (1 - q)) + 'px';
        var second = s.querySelector('.pic2');
        second.style.left = Math.round(200 * (1 - q)) + 'px';
        second.style.opacity = '1';
        s.querySelector('.pic3').style.opacity = '0';
    },

    tick: function () {
        var s = $('slide' + (carousel.slide + 1));
        ++carousel.tick_no;
        if (carousel.phase === 'enter') {
            carousel.place(Math.min(1, carousel.tick_no * 0.04));
            if (carousel.tick_no >= carousel.ENTER) { carousel.phase = 'stay'; carousel.tick_no = 0; }
        } else if (carousel.phase === 'stay') {
            var f = carousel.tick_no / carousel.STAY;
            s.querySelector('.pic2').style.opacity = String(1 - f);
            s.querySelector('.pic3').style.opacity = String(f);
            if (carousel.tick_no >= carousel.STAY) {
                if (view.progress) { carousel.stop(); return; }
                carousel.phase = 'fade';
                carousel.tick_no = 0;
            }
        } else if (carousel.phase === 'fade') {
            s.style.opacity = String(1 - carousel.tick_no / carousel.FADE);
            if (carousel.tick_no >= carousel.FADE) carousel.show_slide((carousel.slide + 1) % 3);
        }
    }
};
