// Section extraction (secpick): placeholder until the section logic lands.
#pragma once
