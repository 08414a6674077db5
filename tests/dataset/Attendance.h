#pragma once

#include "dataset/ClientDataSet.h"

// A small attendance list as the data service returns it, for the dataset tests.
namespace testdata {

struct Consumer {
    const char* badge;
    const char* name;
    const char* situation;  // '1' active, '2' inactive
    const char* saleDay;    // nullptr: no sale
};

dataset::FieldDefs attendanceFields();
dataset::DataPacket attendancePacket(const std::vector<Consumer>& rows);

}  // namespace testdata
