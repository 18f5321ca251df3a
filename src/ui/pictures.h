#pragma once
// The two pictures stored with the window: the logo in the header strip and
// the product overview on the "Product Selection" page.
class QLabel;

namespace tq::ui {

// Resource paths of the stored pictures.
inline constexpr const char* kLogoResource = ":/pictures/logo.jpg";
inline constexpr const char* kProductResource = ":/pictures/product.jpg";

// Decodes both pictures and shows them in the two picture boxes. A picture
// that cannot be read leaves its box empty; either box may be null.
void loadWindowPictures(QLabel* image1, QLabel* image2);

}  // namespace tq::ui
