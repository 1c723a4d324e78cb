#include "ui/PanelWindow.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace ambleguard::ui {

namespace {

constexpr int kPanelWidth = 400;

}  // namespace

PanelWindow::PanelWindow(QWidget* mainPage, const QString& title, QWidget* parent)
    : QWidget(parent), stack_(new QStackedWidget), scroll_(new QScrollArea(this)) {
    setWindowTitle(title);
    setAccessibleName(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Small screens (a 768-pixel laptop at 125 %) leave less than the panel's height: it
    // scrolls rather than being cut off.
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidget(stack_);
    layout->addWidget(scroll_);
    stack_->addWidget(mainPage);
    setPopoverStyle(false);
}

void PanelWindow::setPopoverStyle(bool popover) {
    popover_ = popover;
    const bool wasVisible = isVisible();
    setWindowFlags(popover ? (Qt::Tool | Qt::FramelessWindowHint) : Qt::Window);
    if (wasVisible) {
        show();
    }
}

void PanelWindow::setPreferredHeight(int height) {
    preferredHeight_ = height;
    const QScreen* screen =
        this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    const int available = screen != nullptr ? screen->availableGeometry().height() : height;
    resize(kPanelWidth, std::min(height, available));
}

void PanelWindow::present(const QPoint* anchor) {
    setPreferredHeight(preferredHeight_);
    if (anchor != nullptr && popover_) {
        // Open away from the nearest screen edges, then keep the whole window on the screen.
        const QScreen* screen = QGuiApplication::screenAt(*anchor);
        if (screen == nullptr) {
            screen = QGuiApplication::primaryScreen();
        }
        const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
        QPoint at = *anchor;
        if (area.isValid()) {
            if (at.x() + width() > area.right()) {
                at.rx() -= width();
            }
            if (at.y() + height() > area.bottom()) {
                at.ry() -= height();
            }
            at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
            at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
        }
        move(at);
    }
    show();
    raise();
    activateWindow();
}

void PanelWindow::pushPage(QWidget* page) {
    if (stack_->indexOf(page) < 0) {
        stack_->addWidget(page);
        // Every overlay says it is done with a closed() signal of its own class.
        if (page->metaObject()->indexOfSignal("closed()") >= 0) {
            connect(page, SIGNAL(closed()), this, SLOT(popPage()));
        }
    }
    stack_->setCurrentWidget(page);
    page->setFocus();
}

QWidget* PanelWindow::currentPage() const {
    return stack_->currentWidget();
}

void PanelWindow::popPage() {
    stack_->setCurrentIndex(0);
}

bool PanelWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate && popover_ && isVisible()) {
        closedByDeactivationAt_ = QDateTime::currentMSecsSinceEpoch();
        hide();
        Q_EMIT closed();
    }
    return QWidget::event(event);
}

void PanelWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (stack_->currentIndex() != 0) {
            popPage();
        } else {
            close();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void PanelWindow::closeEvent(QCloseEvent* event) {
    // Closing only hides: the panel and its state live as long as the program.
    event->ignore();
    hide();
    Q_EMIT closed();
}

}  // namespace ambleguard::ui
