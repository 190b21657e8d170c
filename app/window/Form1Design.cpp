#include "app/window/Form1Design.h"

namespace rowvane::app {

std::span<const ControlDesign> Form1Design() {
  static constexpr ControlDesign kDesign[] = {
      {"ListView1", 120, 120, 7800, 2535, "CSV File(s)",
       "The files the next run converts. Delete removes the selected file; dropped files and "
       "folders are added."},
      {"PushButton8", 120, 2750, 3840, 405, "Add CSV File(s)",
       "Chooses CSV files in a file dialog and adds them to the list."},
      {"PushButton9", 4080, 2750, 3840, 405, "Add All CSV File(s) In Folder",
       "Chooses a folder and adds the CSV files in it and in every folder below it."},
      {"PushButton4", 120, 3260, 3840, 405, "Clear List", "Removes every file from the list."},
      {"PushButton5", 4080, 3260, 3840, 405, "Load Sample/Example Files",
       "Adds the sample files that come with the program."},
      {"Frame1", 120, 3705, 7800, 1605, "Input Options", "How the CSV files are read."},
      {"Check1", 225, 300, 3375, 255, "There is a header row in CSVs",
       "When ticked, the first line of a file names the fields."},
      {"Frame3", 240, 630, 7335, 795, "Separating character or characters in CSVs",
       "The text between two fields."},
      {"Text3", 240, 300, 6840, 345, "Separator",
       "The character or characters between fields; empty keeps lines whole."},
      {"Frame2", 120, 5385, 7800, 2475, "XML Output Options", "How the XML files are written."},
      {"Check2", 240, 300, 3255, 255, "Include row tags in output",
       "When ticked, each record stands in a row element."},
      {"Frame4", 240, 630, 7335, 795, "Row tag", "The name of the element around each record."},
      {"Text4", 240, 300, 6840, 345, "Row tag", "The name of the element around each record."},
      {"Frame5", 240, 1500, 7335, 795, "XML tag",
       "The name of the element around the whole document."},
      {"Text5", 240, 300, 6840, 345, "XML tag",
       "The name of the element around the whole document."},
      {"Frame6", 120, 7950, 7800, 810, "Save Results To This Folder",
       "Where the XML files are written."},
      {"Text1", 240, 300, 6495, 345, "Output folder", "The folder the XML files are written to."},
      {"PushButton1", 6840, 300, 720, 345, "Choose Output Folder",
       "Chooses the output folder in a folder dialog."},
      {"PushButton7", 120, 8880, 7800, 405, "Start Converting",
       "Converts every file in the list into an XML file in the output folder."},
      {"ProgressBar1", 120, 9400, 7800, 405, "Progress",
       "Which file is being converted and how far it has got."},
  };
  return kDesign;
}

}  // namespace rowvane::app
