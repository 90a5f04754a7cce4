#include "engine/Questionnaire.h"

#ifndef LARKSPUR_SURVEY_HOST
#define LARKSPUR_SURVEY_HOST "127.0.0.1:18429"
#endif

namespace {

const Json::Value& Member(const Json::Value& reason, const char* name)
{
    if (!reason.isObject())
        return Json::Value::nullSingleton();
    return reason[name];
}

std::string Styled(const Json::Value& value)
{
    Json::StyledWriter writer;
    return writer.write(value);
}

// A string as is, a boolean as "true"/"false", a number as its text, anything else "".
std::string Text(const Json::Value& value)
{
    if (value.isString())
        return value.asString();
    if (value.isBool())
        return value.asBool() ? "true" : "false";
    if (value.isNumeric())
        return value.asString();
    return std::string();
}

// The page sends its texts already URL-escaped; a raw "&" or "=" can only come
// from a text that was not, and would start or rewrite a field of the form
// ("&imei=..." inside a suggestion). Those two are escaped, nothing else, so a
// well-formed answer passes unchanged.
std::string FormField(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '&')
            out += "%26";
        else if (c == '=')
            out += "%3D";
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string SurveyUrl()
{
    return std::string("http://") + LARKSPUR_SURVEY_HOST + "/YB/Paper/Answer.aspx?paperid=1829";
}

std::string BuildQuestionnaireBody(const Json::Value& reason, const std::string& imei, const std::string& clientVersion)
{
    std::string body;
    body += "paperID=" + FormField(Styled(Member(reason, "paperID")));
    body += "&usedTime=" + FormField(Styled(Member(reason, "usedTime")));
    body += "&questionIDList=" + FormField(Text(Member(reason, "questionIDList")));
    body += "&hQuestionItemIDList=" + FormField(Text(Member(reason, "hQuestionItemIDList")));
    body += "&selectedQuestionItemIDList=" + FormField(Text(Member(reason, "selectedQuestionItemIDList")));
    body += "&selectedQuestionItemValueList=" + FormField(Text(Member(reason, "selectedQuestionItemValueList")));
    body += "&imei=" + FormField(imei);
    body += "&clientVersion=" + FormField(clientVersion);
    body += "&model=";
    body += "&answerContentList=" + FormField(Text(Member(reason, "answerContentList")));
    return body;
}
