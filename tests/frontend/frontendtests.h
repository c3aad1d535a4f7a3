#pragma once

#include <QObject>
#include <QString>

#include <memory>

// The test class named `group`, or nothing.
std::unique_ptr<QObject> makeFrontendTest(const QString& group);

std::unique_ptr<QObject> makeLogicTest();
std::unique_ptr<QObject> makeWindowTest();
std::unique_ptr<QObject> makeEndToEndTest();

// The captured engine listing `name` under tests/data/frontend.
QString listingFixture(const QString& name);
