#pragma once
// Reading the components of a setup list into records, shared by the
// workflow's list steps and the run plan.
#include <json/json.h>

#include <memory>
#include <vector>

#include "engine/model/SetupList.h"

// The fields that both lists read: id, name, order, version, regkey, mutex.
SetupListPtr ReadComponent(const Json::Value& element);
// Copies of the elements of an array member; another type gives none.
void CopyElements(const Json::Value& element, const char* key, std::vector<std::shared_ptr<Json::Value>>& out);
// Before the first record of greater order: equal orders keep file order.
void InsertInOrder(std::vector<SetupListPtr>& records, SetupListPtr record);
