// The uninstall questionnaire's answer and its text encoder.
var questionnaire = {
    PAPER_ID: 1846,
    QUESTIONS: '43930\u00A443931\u00A443932\u00A443933\u00A443934',
    SEP: '\u00A4',    // between the answers of the questions
    ITEM: '\u203B',   // between the items chosen within one question

    // Kept as they are: ASCII letters, digits and "-", ".", "_", "~".
    unescaped: function (u) {
        return (u >= 0x30 && u <= 0x39) || (u >= 0x41 && u <= 0x5A) || (u >= 0x61 && u <= 0x7A) ||
               u === 0x2D || u === 0x2E || u === 0x5F || u === 0x7E;
    },

    // Works on UTF-16 units: up to 0xFF one "%XX", above it three escapes.
    encode: function (text) {
        var hex = '0123456789ABCDEF', out = [];
        function byte(b) { out.push('%' + hex.charAt(b >> 4) + hex.charAt(b & 15)); }
        text = String(text);
        for (var i = 0; i < text.length; ++i) {
            var u = text.charCodeAt(i);
            if (questionnaire.unescaped(u)) out.push(text.charAt(i));
            else if (u <= 0xFF) byte(u);
            else {
                byte(0xE0 | (u >> 12));
                byte(0x80 | ((u >> 6) & 0x3F));
                byte(0x80 | (u & 0x3F));
            }
        }
        return out.join('');
    },

    // ids: item identifiers of the checked boxes in box order; suggestion: the
    // field's text; seconds: the time spent on the questionnaire.
    answer: function (ids, suggestion, seconds) {
        var E = questionnaire.encode, S = questionnaire.SEP;
        var I = ids.join(questionnaire.ITEM);
        var V = ids.length > 1 ? new Array(ids.length).join(questionnaire.ITEM) : '';
        var text = String(suggestion).split(S).join('').split(questionnaire.ITEM).join('');
        return {
            paperID: questionnaire.PAPER_ID,
            usedTime: seconds,
            questionIDList: E(questionnaire.QUESTIONS),
            hQuestionItemIDList: E(S + S + S + V + S),
            selectedQuestionItemIDList: E('214979' + S + '214980' + S + '214981' + S + I + S + '214992'),
            selectedQuestionItemValueList: E(S + S + S + V + S),
            answerContentList: E(S + S + S + V + S + text)
        };
    }
};
