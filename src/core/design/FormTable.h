#pragma once

#include "form/FormSpec.h"

namespace varnel {

// MainWindow ("主界面") and CreateTableWindow ("新建表").
const FormSpec &mainFormSpec();
const FormSpec &tableFormSpec();

} // namespace varnel
