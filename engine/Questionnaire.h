#pragma once
// The uninstall questionnaire posted to the survey server.
#include <json/json.h>

#include <string>

// "http://" + the build's survey host + "/YB/Paper/Answer.aspx?paperid=1829".
std::string SurveyUrl();
// The form body: the reason's members in their fixed order, unencoded.
std::string BuildQuestionnaireBody(const Json::Value& reason, const std::string& imei,
                                   const std::string& clientVersion);
