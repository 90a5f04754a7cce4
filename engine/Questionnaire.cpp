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

}  // namespace

std::string SurveyUrl()
{
    return std::string("http://") + LARKSPUR_SURVEY_HOST + "/YB/Paper/Answer.aspx?paperid=1829";
}

std::string BuildQuestionnaireBody(const Json::Value& reason, const std::string& imei, const std::string& clientVersion)
{
    std::string body;
    body += "paperID=" + Styled(Member(reason, "paperID"));
    body += "&usedTime=" + Styled(Member(reason, "usedTime"));
    body += "&questionIDList=" + Text(Member(reason, "questionIDList"));
    body += "&hQuestionItemIDList=" + Text(Member(reason, "hQuestionItemIDList"));
    body += "&selectedQuestionItemIDList=" + Text(Member(reason, "selectedQuestionItemIDList"));
    body += "&selectedQuestionItemValueList=" + Text(Member(reason, "selectedQuestionItemValueList"));
    body += "&imei=" + imei;
    body += "&clientVersion=" + clientVersion;
    body += "&model=";
    body += "&answerContentList=" + Text(Member(reason, "answerContentList"));
    return body;
}
